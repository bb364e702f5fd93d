# Tests of the formatter and the print path.
