#pragma once

#include <string_view>

// The texts the conversion job writes to its log and labels.
namespace corvane {

inline constexpr std::string_view kLogRule =
    "----------------------------------------------------------------------------------------------";
static_assert(kLogRule.size() == 94);

inline constexpr std::string_view kLogAnalysing = "Analysing     : ";
inline constexpr std::string_view kLogTableCount = "Table count : ";
inline constexpr std::string_view kLogCanceled = "Canceled extraction";
inline constexpr std::string_view kLogError = "ERROR : ";
inline constexpr std::string_view kLogExitingConversion = "ERROR : Exiting conversion.";
inline constexpr std::string_view kLogCannotCreateFile = "DETAILS : Cannot create file ";
inline constexpr std::string_view kLogCannotCreateExcelFile = "Cannot create excel file. Check path ";
inline constexpr std::string_view kLogCannotCreateOutputFile = "Cannot create the output file. Check path ";
inline constexpr std::string_view kLogExtractionComplete = "Extraction Complete for ";
inline constexpr std::string_view kLogExtractionFailed = "Extraction Failed for ";
inline constexpr std::string_view kLogSameFile = "Already converted in this job as ";
inline constexpr std::string_view kLogRenamedOutput = "An earlier file of this job has the same name; writing ";
inline constexpr std::string_view kLogStopped = "ERROR : Conversion stopped; nothing written for ";
inline constexpr std::string_view kAppendTargetIsInput = ": it is one of the input files";
inline constexpr std::string_view kLogArchiveRecords = "Records read : ";
inline constexpr std::string_view kArchiveNeedsRecords = ": web archives are written as CSV or JSON Lines only";
inline constexpr std::string_view kLogInputFile = "DETAILS : Input file ";

inline constexpr std::string_view kPassSuffix = " of 3";
inline constexpr int kLastPass = 3;

inline constexpr std::string_view kOutputExtension = ".xls";
inline constexpr char kPathSeparator = '/';

}  // namespace corvane
