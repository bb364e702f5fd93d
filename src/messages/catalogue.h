// Every text the program prints or shows while it runs, in one place: each with the types of its
// arguments, checked against its format while compiling. Lines that end without a line break
// do so on purpose (the next text continues the line, or the run ends there).
//
//   Print(msg::kSuccess, sizeText, growth, name);   // standard output
//   PrintToError(msg::kLookupFailed, account, code); // standard error (diagnostics)
#pragma once

#include <cstdint>
#include <string_view>

#include "messages/print_message.h"

namespace glyphshift::msg {

using Wide = std::u16string_view;
// A file name, path or other name from outside the program: printed escaped (PrintedName).
using Name = PrintedName;
using Narrow = std::string_view;
using Int = std::int32_t;
using Int64 = std::int64_t;

// Start-up: the character sets and how the run will judge its sources.
inline constexpr Message<Wide, Int> kDestinationCharset{u"Destination character set: \"%s\" (Internal code %d)\n"};
inline constexpr Message<Wide, Int> kSourceCharset{u"Source character set: \"%s\" (Internal code %d)\n"};
inline constexpr Message<> kSourceAutoDetect{u"Source character set: Auto detect\n"};
inline constexpr Message<> kEndOfHeading{u"\n"};
inline constexpr Message<Name> kUnknownCharset{u"Error 6: Character set \"%s\" is unknown."};
inline constexpr Message<Name> kUnknownDetectionMethod{
    u"Error 6: Detection method \"%s\" is unknown; it is simple or statistical.\n"};
// Written straight to the console: the run has no other place for them.
inline constexpr Message<Name, Wide> kLogNotOpened{u"morfex: cannot open the log file \"%s\": %s"};
inline constexpr Message<> kNoDisplayForDialog{
    u"morfex: no display for the dialog; give a source file, or see \"morfex --help\".\n"};

// What the source and output arguments cannot be.
inline constexpr Message<Name> kSourceIsDirectory{
    u"Invalid argument: %s is a directory. Use wildcards like *.txt instead!"};
inline constexpr Message<> kWildcardInOutput{u"Invalid argument: Wildcard in destination file is not allowed!"};
inline constexpr Message<> kOutputNotADirectory{
    u"Invalid argument: File as destination for multiple source files are not allowed!"};
inline constexpr Message<> kOutputInsideTree{
    u"Invalid argument: Output directory inside the source tree is not allowed!"};

// One file: its trace at a log level, its result line, and the summary of the run.
inline constexpr Message<Narrow, Name, Name, Name, Name> kProcessFileTrace{u"%S(%s, %s, %s, %s)\n"};
inline constexpr Message<Wide, Int64, Name> kSuccess{u"Success: [%s + %I64d Bytes] %s\n"};
inline constexpr Message<Result, Name> kConversionFailed{u"Error %d: Conversion of \"%s\" failed.\n"};
inline constexpr Message<Int, Int64> kConvertedCount{
    u"%d file(s) successfully converted with total size of %I64d Bytes\n"};
inline constexpr Message<Int> kFailedCount{u"%d file(s) failed to convert\n"};

// Why a file's conversion failed, or what of it was not done. The system's own text ends with
// its line break; an error without a text is named by its code.
inline constexpr Message<Wide> kSystemErrorText{u"%s"};
inline constexpr Message<Int> kUnnamedError{u"error %d\n"};
inline constexpr Message<Name, Wide> kNoTemporaryFile{u"Cannot create a temporary file in \"%s\": %s"};
inline constexpr Message<Name, Wide> kSourceNotDeleted{u"The source \"%s\" was not deleted: %s"};
inline constexpr std::u16string_view kOutOfMemoryText = u"The system is out of memory. The operation failed.";
inline constexpr Message<Wide> kOutOfMemory{u"Error: %s"};
inline constexpr Message<Wide> kOutOfMemoryInMarkup{u"%s"};

// Files the run does not convert, and why.
inline constexpr Message<Name> kNotARegularSource{u"\"%s\" is not a regular file; it is not converted.\n"};
inline constexpr Message<Name> kSourceIsTheLog{u"\"%s\" is the log file of this run; it is not converted.\n"};
inline constexpr Message<Name> kDestinationIsTheLog{
    u"\"%s\" is the log file of this run; nothing is converted into it.\n"};
inline constexpr Message<Name, Name> kDestinationNotConverted{
    u"\"%s\" is not converted: its destination \"%s\" is a source of this run that was not converted.\n"};
inline constexpr Message<Name> kSkippedLink{u"Skipped: \"%s\" is a symbolic link.\n"};
inline constexpr Message<Name> kSkippedTemporary{u"Skipped: \"%s\" is a temporary file of an unfinished conversion.\n"};
inline constexpr Message<Name> kSkippedNotRegular{u"Skipped: \"%s\" is not a regular file.\n"};
inline constexpr Message<Name> kSkippedLog{u"Skipped: \"%s\" is the log file of this run.\n"};
inline constexpr Message<Name> kSkippedWrittenByRun{u"Skipped: \"%s\" was written by this run.\n"};
inline constexpr Message<Result, Name, Wide> kDirectoryUnreadable{u"Error %d: The directory \"%s\" cannot be read: %s"};
inline constexpr Message<Name> kBaseDirectory{u"Base Source Directory: %s\n"};

// What the detection of a source's set found.
inline constexpr Message<Name, Narrow> kUnconvertibleCharset{
    u"The character set of \"%s\" was detected as \"%S\", which cannot be converted; the file is left as it is.\n"};
// At a log level: the model's answer with its confidence (0..100) and runner-up, which is a
// quoted name or "none".
inline constexpr Message<Name, Narrow, Int, Narrow> kStatisticalAnswer{
    u"Statistical detection: \"%s\" is \"%S\" (confidence %d%%, runner-up %S).\n"};
inline constexpr Message<Name, Narrow, Int, Narrow, Wide> kStatisticalUnsure{
    u"Statistical detection: no confident answer for \"%s\" (\"%S\" at confidence %d%%, runner-up %S); converted as "
    u"\"%s\".\n"};
inline constexpr Message<Name, Wide> kStatisticalNoAnswer{
    u"Statistical detection: no confident answer for \"%s\"; converted as \"%s\".\n"};
inline constexpr Message<Name, Name, Wide> kStatisticalDeclared{
    u"Statistical detection: \"%s\" declares \"%s\", which reads its bytes; converted as \"%s\".\n"};
inline constexpr std::string_view kNoRunnerUp = "none";

// Owner-from-prefix, the rights of the process and the hand-over of a file (diagnostics on
// standard error, but for the rename line).
inline constexpr Message<Name, Name> kKeepsItsName{u"\"%s\" keeps its name: \"%s\" already exists.\n"};
inline constexpr Message<Name, Int> kLookupFailed{u"LookupAccountName for user \"%s\" failed with error code %d\n"};
inline constexpr Message<Name, Wide> kSidOfAccount{u"SID for user \"%s\" is \"%s\"\n"};
inline constexpr Message<Int, Int> kAccessListSize{u"Entries in ACL: %d, Size of ACL: %d Bytes\n"};
inline constexpr Message<Int> kAccessEntry{u"ACE Entry %d\n"};
inline constexpr Message<Wide> kAccessEntryFlags{u"\tFlags: %s\n"};
inline constexpr Message<Int> kAccessEntryType{u"\tType: %#x\n"};
inline constexpr Message<Name, Name, Wide> kAccessAllowedFor{u"Access Allowed for \"%s@%s\" (%s)\n\t"};
inline constexpr Message<Name, Name, Wide> kAccessDeniedFor{u"Access Denied for \"%s@%s\" (%s)\n\t"};
inline constexpr Message<Wide, Int> kAccessMask{u"%s%04x\n"};
inline constexpr Message<Int> kAdjustRightsFailed{u"AdjustTokenPrivileges failed with error code %d\n"};
inline constexpr Message<Int> kListRightsFailed{u"GetTokenInformation: Failed with error code %d\n"};
inline constexpr Message<Wide> kRightEnabledByDefault{u"Privileges: %s = ENABLED (DEFAULT ENABLED)\n"};
inline constexpr Message<Wide> kRightDisabledByDefault{u"Privileges: %s = DISABLED (DEFAULT ENABLED)\n"};
inline constexpr Message<Wide> kRightEnabled{u"Privileges: %s = ENABLED\n"};
inline constexpr Message<Wide> kRightRemoved{u"Privileges: %s = REMOVED\n"};
inline constexpr Message<Wide> kRightDisabled{u"Privileges: %s = DISABLED\n"};
// Named after the file and function that failed, so a report points at the call.
inline constexpr Message<Narrow, Narrow, Int, Int> kBuildAccessListFailed{
    u"%S.%S:%d - SetEntriesInAcl: Failed with error %d\n"};
inline constexpr Message<Narrow, Narrow, Int, Int> kWriteAccessListFailed{
    u"%S.%S:%d - SetNamedSecurityInfo(SET ACL): Failed with error %d\n"};
inline constexpr Message<Narrow, Narrow, Int, Int> kSetOwnerFailed{
    u"%S.%S:%d - SetNamedSecurityInfo(TAKE OWNERSHIP): Failed with error %d\n"};

// What a conversion could not carry over: warnings after the result line of a converted file,
// and the reasons of a file left unchanged to protect its content (then counted as failed). The
// "One" forms are for a count of 1.
inline constexpr Message<Int64, Name, Wide, Int64, Int64> kUnencodable{
    u"Warning: %I64d characters of \"%s\" have no equivalent in %s and were written as \"?\" (first at line %I64d, "
    u"column %I64d).\n"};
inline constexpr Message<Name, Wide, Int64, Int64> kUnencodableOne{
    u"Warning: 1 character of \"%s\" has no equivalent in %s and was written as \"?\" (at line %I64d, column "
    u"%I64d).\n"};
inline constexpr Message<Int64, Name, Wide, Wide, Int64, Int64> kInvalid{
    u"Warning: %I64d bytes of \"%s\" are not valid %s and were written as %s (first at line %I64d, column %I64d).\n"};
inline constexpr Message<Name, Wide, Wide, Int64, Int64> kInvalidOne{
    u"Warning: 1 byte of \"%s\" is not valid %s and was written as %s (at line %I64d, column %I64d).\n"};
inline constexpr Message<Int64, Name, Wide, Wide, Int64, Int64> kUndefined{
    u"Warning: %I64d bytes of \"%s\" are not defined in %s and were written as %s (first at line %I64d, column "
    u"%I64d).\n"};
inline constexpr Message<Name, Wide, Wide, Int64, Int64> kUndefinedOne{
    u"Warning: 1 byte of \"%s\" is not defined in %s and was written as %s (at line %I64d, column %I64d).\n"};
inline constexpr Message<Name> kHalfUnit{
    u"Warning: the last byte of \"%s\" is half a UTF-16 unit and was not converted.\n"};
inline constexpr Message<Name> kReadAsLatin1{
    u"Warning: \"%s\" was read as ISO-8859-1 but uses bytes 0x80-0x9F; its character set is probably another one "
    u"(see /detect=statistical or /scs=).\n"};
inline constexpr Message<Name, Narrow> kLooksLike{
    u"Warning: \"%s\" was read as ISO-8859-1 but looks like %S (see /detect=statistical or /scs=).\n"};
inline constexpr Message<Name> kReadsAsUtf16{
    u"Warning: \"%s\" was read as ISO-8859-1 but looks like UTF-16 without a byte order mark; its character set is "
    u"probably another one (see /detect=statistical or /scs=).\n"};
inline constexpr std::u16string_view kWrittenAsReplacement = u"U+FFFD";
inline constexpr std::u16string_view kWrittenAsQuestionMark = u"\"?\"";

inline constexpr Message<Name, Wide, Int64, Int64, Int64> kWouldLose{
    u"Left unchanged: converting \"%s\" to %s would lose %I64d characters (first at line %I64d, column %I64d); "
    u"/lossy converts it anyway.\n"};
inline constexpr Message<Name, Wide, Int64, Int64> kWouldLoseOne{
    u"Left unchanged: converting \"%s\" to %s would lose 1 character (at line %I64d, column %I64d); /lossy converts "
    u"it anyway.\n"};
inline constexpr Message<Int64, Name, Wide, Int64, Int64> kHoldsInvalid{
    u"Left unchanged: %I64d bytes of \"%s\" are not valid %s (first at line %I64d, column %I64d); /lossy converts it "
    u"anyway.\n"};
inline constexpr Message<Name, Wide, Int64, Int64> kHoldsInvalidOne{
    u"Left unchanged: 1 byte of \"%s\" is not valid %s (at line %I64d, column %I64d); /lossy converts it anyway.\n"};
inline constexpr Message<Int64, Name, Wide, Int64, Int64> kHoldsUndefined{
    u"Left unchanged: %I64d bytes of \"%s\" are not defined in %s (first at line %I64d, column %I64d); /lossy "
    u"converts it anyway.\n"};
inline constexpr Message<Name, Wide, Int64, Int64> kHoldsUndefinedOne{
    u"Left unchanged: 1 byte of \"%s\" is not defined in %s (at line %I64d, column %I64d); /lossy converts it "
    u"anyway.\n"};
inline constexpr Message<Name> kHoldsHalfUnit{
    u"Left unchanged: the last byte of \"%s\" is half a UTF-16 unit; /lossy converts it anyway.\n"};
inline constexpr Message<Name, Int64> kSkippedNotText{
    u"Skipped: \"%s\" is not a text file (binary data at byte %I64d).\n"};
inline constexpr Message<Name, Int64> kNotText{
    u"Left unchanged: \"%s\" is not a text file (binary data at byte %I64d); /binary converts it anyway.\n"};
inline constexpr Message<Name> kSourceChanged{u"Left unchanged: \"%s\" changed while it was being converted.\n"};

// The message boxes of the dialog: text and caption.
struct BoxText {
  std::u16string_view text;
  std::u16string_view caption;
};
inline constexpr BoxText kWriteErrorBox{u"An Error occured during file creation.", u"Error"};
inline constexpr BoxText kFinishedBox{u"Conversion finished!", u"Finished"};
inline constexpr BoxText kOutOfMemoryBox{kOutOfMemoryText, u"Out of memory"};
// The error box of a file that could not be written: its fixed text, an empty line, the file
// (or the folder where its temporary could not be made) and the system's reason.
inline constexpr Message<Wide, Name, Wide> kWriteErrorDetail{u"%s\n\n\"%s\"\n%s"};
// A finished conversion with warnings: the box's text, an empty line, the warning lines.
inline constexpr Message<Wide, Wide> kFinishedWithWarnings{u"%s\n\n%s"};
// A file left unchanged in the dialog's run: why, and the question whether to convert anyway.
inline constexpr Message<Wide> kConvertAnyway{u"%s\nConvert it anyway?"};
inline constexpr std::u16string_view kLeftUnchangedCaption = u"Left unchanged";

// ---- The command line, the set names, filter mode and progress ----

// A command line that cannot be run (exit code 8), written to the standard error the program
// was started with: the options that route the messages are themselves in doubt.
inline constexpr Message<Wide, Wide> kUnknownOptionNear{
    u"Invalid argument: unknown option \"%s\" (did you mean \"%s\"?)\n"};
inline constexpr Message<Wide> kUnknownOption{u"Invalid argument: unknown option \"%s\"\n"};
inline constexpr Message<Wide> kUnknownLineBreak{
    u"Invalid argument: \"%s\": the line break type is dos, unix, mac or none\n"};
inline constexpr Message<Wide> kUnknownReportFormat{
    u"Invalid argument: \"%s\": the report is /info (a table) or /info=json (JSON Lines)\n"};
inline constexpr Message<Wide> kBadJobCount{u"Invalid argument: \"%s\": the number of jobs is 1 to 256\n"};
inline constexpr Message<Wide> kGivenAlone{u"Invalid argument: \"%s\" is given alone, without other arguments\n"};
inline constexpr Message<> kNoSource{u"Invalid argument: no source; name a file, a pattern, or - for standard input\n"};
inline constexpr Message<> kStandardInputAmongSources{
    u"Invalid argument: standard input (-) must be the only source\n"};
inline constexpr Message<> kStandardInputInPlace{
    u"Invalid argument: standard input cannot be converted in place (/replace)\n"};
inline constexpr Message<> kStandardStreamNotMoved{
    u"Invalid argument: /move needs a source file and a destination file, not standard input or output\n"};
inline constexpr Message<Wide> kUnclosedQuote{u"Invalid argument: a double quote is not closed in %s\n"};
inline constexpr Message<Wide> kTextAfterQuotedValue{u"Invalid argument: text follows the closing quote in %s\n"};

// After the Error 6 line, which ends without a line break: the names nearest to the unknown one.
inline constexpr Message<Wide> kNearestCharsets{u"\nDid you mean %s? \"morfex --list\" lists every name.\n"};
inline constexpr Message<> kNoNearCharset{u"\n\"morfex --list\" lists every name.\n"};
inline constexpr Message<Wide> kQuotedName{u"\"%s\""};
inline constexpr std::u16string_view kNameSeparator = u", ";
inline constexpr std::u16string_view kLastNameSeparator = u" or ";
// "morfex --list": one set a line, its name, what it is, and its other names.
inline constexpr Message<Wide, Wide, Wide> kCharsetListLine{u"%s\t%s\t%s\n"};
inline constexpr std::u16string_view kUtf8Description = u"Unicode, UTF-8";
inline constexpr std::u16string_view kUtf16Description = u"Unicode, UTF-16 little endian";
inline constexpr std::u16string_view kUtf16BeDescription = u"Unicode, UTF-16 big endian";

// Filter mode: the names the streams go by in the lines of a run.
inline constexpr std::u16string_view kStandardInputName = u"(standard input)";
inline constexpr std::u16string_view kStandardOutputName = u"(standard output)";

// Several sources into one output folder: a later one never writes over an earlier one's file.
inline constexpr Message<Name, Name> kDestinationWrittenByRun{
    u"\"%s\" is not converted: its destination \"%s\" was written by this run.\n"};

// The progress line on a terminal: files done, bytes read, the rate, the current file, and how
// far into a large file the run is.
inline constexpr Message<Int, Wide, Wide, Wide> kProgress{u"%d file(s) done, %s at %s/s: %s"};
inline constexpr Message<Int, Wide, Wide, Wide, Int> kProgressInFile{u"%d file(s) done, %s at %s/s: %s %d%%"};

// Trees and paths others can write: what the run refuses, reclaims or does differently there.
// The log that lost lines, written straight to the console's standard error at the end.
// A file planted at a destination's name does not decide who may read the output.
inline constexpr Message<Name> kReplacedGrantedMore{
    u"\"%s\" replaced a file that let other accounts read or write more than its source did: it has the owner "
    u"and mode of a new file.\n"};
// The owner-from-prefix table names who gets each file: one others may change is not used.
inline constexpr Message<Name, Wide> kTableRefused{u"The user translation table \"%s\" is not used: %s"};
// A temporary file whose run is gone (killed): removed by a later run over its folder.
inline constexpr Message<Name> kRemovedLeftover{
    u"Removed: \"%s\" was a temporary file of a conversion that did not finish.\n"};
// Two runs converting one tree in place: the one that holds a file's lock converts it.
inline constexpr Message<Name> kSkippedLocked{u"Skipped: \"%s\" is being converted in place by another run.\n"};
inline constexpr Message<Name> kSkippedReplaced{u"Skipped: \"%s\" was replaced since this run found it.\n"};
// A path the person named that leads through a link the run may not follow: the run stops.
inline constexpr Message<Name, Wide> kNamedSourceRefused{u"Error 2: The source \"%s\" is not read: %s"};
inline constexpr Message<Name, Wide> kNamedDestinationRefused{u"Error 1: The destination \"%s\" is not written: %s"};
// A source cut short while it was read (by another account, or under a mapped window).
inline constexpr Message<Name, Wide> kLogIncomplete{u"morfex: the log file \"%s\" could not be written to the end: %s"};

}  // namespace glyphshift::msg
