"""Runs the module's tests with pytest; exits 77 (skipped) where pytest is missing."""
import sys

try:
    import pytest
except ImportError:
    print("skipped: pytest is not installed")
    sys.exit(77)

sys.exit(pytest.main(["-q", "-p", "no:cacheprovider", __file__.rsplit("/", 1)[0]]))
