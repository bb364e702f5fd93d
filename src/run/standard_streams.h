// Filter mode: standard input as the source, standard output as the destination.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "convert/process_file.h"
#include "platform/streams.h"
#include "run/file_steps.h"
#include "run/run_state.h"

namespace glyphshift {

// Converts standard input into standard output, or into the output file the run names. Standard
// input is read to its end first: detection judges the whole text, and the loss and binary
// checks must be settled before a byte leaves. The counts are left in the run's summary.
void ConvertStandardInput(CRun& run);

// Standard input as an opened source, spooled into `spool` (which must outlive it), its progress
// shown; `location` names it and holds no directory.
void OpenStandardInputSource(platform::CSpool& spool, OpenedSource& source, FileLocation& location);

// Detects and converts an opened source for standard output; FinishFile then hands the text over.
std::unique_ptr<CFileRun> StartFileForStandardOutput(CRun& run, OpenedSource& source,
                                                     const FileLocation& sourceLocation,
                                                     std::u16string_view displayName);

// Writes the converted text to standard output: a failed write (a reader that went away, a full
// disk behind a redirection) is reported and fails the file.
Result DeliverToStandardOutput(const platform::CSpool& spool, std::uint64_t* destinationSize, ConversionReport& report);

}  // namespace glyphshift
