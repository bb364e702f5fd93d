# Tests of the codecs, detection and exports.
