"""plinthar hands an AI coding assistant a small, relevant slice of a software project.

``python3 -m plinthar.mapforge`` scans a project into its information graph and
``python3 -m plinthar.crv`` ranks that graph against a task; both behave exactly as the
executables ``mapforge`` and ``crv``. ``plinthar.mapforge.scan(root)`` returns the graph.

Nothing is imported here, so that ``python3 -m`` finds the two modules unloaded.
"""
