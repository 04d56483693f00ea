# The application shell: Workspace window, start-up, preferences and the program itself.
