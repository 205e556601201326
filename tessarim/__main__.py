"""`python -m tessarim`: the Tessarim window with the reference report worker."""
import sys

from .host import main

sys.exit(main())
