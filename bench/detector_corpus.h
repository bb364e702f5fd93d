// detector_bench corpus: detection scored on the shared corpus of real documents.
#pragma once

namespace glyphshift::bench {

// Reads DIR/SOURCES.md, judges every document it lists and prints the scores; 0, or 1 when the
// corpus cannot be read.
int ScoreCorpus(const char* folder);

}  // namespace glyphshift::bench
