# Tests of the catalogue and the generated tables.
