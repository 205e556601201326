"""The reference host and report worker of the Tessarim window, and its virtual-screen helper."""
