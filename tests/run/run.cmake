# Tests of the command line, enumeration, naming and the path list.
