# Tests of the application shell.
