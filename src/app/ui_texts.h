#pragma once

// The captions and messages of the desktop window and the table selection dialog. "&" marks the letter
// that Alt takes a caption by.
namespace corvane {

inline constexpr char kApplicationTitle[] = "CORVANE";
inline constexpr char kBannerText[] = "Tables from web pages, straight into your spreadsheet";

inline constexpr char kFileMenu[] = "&File";
inline constexpr char kOpenHtmlAction[] = "&Open HTML";
inline constexpr char kHelpMenu[] = "&Help";
inline constexpr char kAboutAction[] = "&About";
inline constexpr char kQuitAction[] = "&Quit";
inline constexpr char kAboutTitle[] = "About CORVANE";
// No licence has been chosen for the program yet; this is what the About box says until one is.
inline constexpr char kLicenceText[] = "Proprietary software: all rights reserved.";
inline constexpr char kCannotCreateFolder[] = "Cannot create the output folder ";

inline constexpr char kInputGroup[] = "Input";
inline constexpr char kAddFilesCaption[] = "&Add Files";
inline constexpr char kRemoveFilesCaption[] = "&Remove Files";
inline constexpr char kRemoveAllCaption[] = "Remove A&ll";
inline constexpr char kOutputGroup[] = "Output";
inline constexpr char kOutputPathLabel[] = "O&utput Excel file path";
inline constexpr char kBrowseCaption[] = "&Browse";
inline constexpr char kAppendFilesCaption[] = "A&ppend output to a single Excel file";
inline constexpr char kTrimCellValuesCaption[] = "&Trim Cell Values ";
inline constexpr char kFormatLabel[] = "For&mat";
// The output formats in the order of the choice, and the message for a workbook asked to append.
inline constexpr const char* kFormatChoices[] = {"xls: tab-separated text", "xlsx: workbook", "csv: UTF-8, commas",
                                             "jsonl: JSON, a line per table"};
inline constexpr char kWorkbookFilter[] = "Excel Workbook (*.xlsx)";
inline constexpr char kWorkbookExtension[] = ".xlsx";
inline constexpr char kCsvFilter[] = "CSV file (*.csv)";
inline constexpr char kCsvExtension[] = ".csv";
inline constexpr char kJsonlFilter[] = "JSON Lines file (*.jsonl)";
inline constexpr char kJsonlExtension[] = ".jsonl";
inline constexpr char kProgressGroup[] = "Progress";
inline constexpr char kProcessingFileLabel[] = "Processing file :";
inline constexpr char kNoFile[] = "None";
inline constexpr char kScanningPassLabel[] = "Scanning pass ";
inline constexpr char kStartCaption[] = "&Start";
inline constexpr char kDoneCaption[] = "&Done";
inline constexpr char kStopCaption[] = "&Stop";
inline constexpr char kOpenFolderCaption[] = "&Open output folder";
inline constexpr char kSaveLogAction[] = "Save &Log...";
inline constexpr char kAboutQtAction[] = "About &Qt";
inline constexpr char kStopAndCloseQuestion[] = "A job is running. Stop it and close?";
// The read rate of a job, in millions of bytes a second.
inline constexpr char kRateFormat[] = "%1 MB/s";
// How a job went: "3 files converted, 1 failed, 12 tables written".
inline constexpr char kOutcomeFormat[] = "%1 converted, %2 failed, %3 written";
inline constexpr char kStoppedOutcomeFormat[] = "Stopped: %1 converted, %2 not converted, %3 written";
inline constexpr char kOneFile[] = "1 file";
inline constexpr char kManyFiles[] = "%1 files";
inline constexpr char kOneTable[] = "1 table";
inline constexpr char kManyTables[] = "%1 tables";
// The progress bar of a job with failures, and the list of the files that failed.
inline constexpr char kBarFailedFormat[] = "%1 failed";
inline constexpr char kFailedFilesHeading[] = "Failed:";
// Log lines the window adds after a stopped job, one a file.
inline constexpr char kLogNotConverted[] = "Not converted: ";
// The first line of a log that shows only its last lines.
inline constexpr char kEarlierLinesFormat[] = "\u2026 %1 earlier lines not shown: File > Save Log saves them all";
inline constexpr char kLogFilesFilter[] = "Log files (*.log *.txt)";
inline constexpr char kCannotSaveLog[] = "Cannot save the log to ";
inline constexpr char kNoLogSpool[] = "no temporary file for the log";

inline constexpr char kHtmlFilesFilter[] = "HTML files (*.html *.htm)";
inline constexpr char kExcelFilter[] = "Excel Document (*.xls)";
inline constexpr char kExcelExtension[] = ".xls";
inline constexpr char kSelectFolderCaption[] = "Select Destination folder";

inline constexpr char kSelectHtmlFiles[] = "Select html files";
inline constexpr char kSelectOutputPath[] = "Select the output path for the Excel";

inline constexpr char kTableSelectCaption[] = "Table Select";
inline constexpr char kTableItemPrefix[] = "Table";
inline constexpr char kRememberTablesCaption[] = "&Remember the selection for other tables for this job.";
inline constexpr char kExtractCaption[] = "&Extract";
inline constexpr char kSelectAtLeastOneTable[] = "Select atleast 1 table";
// The title joins the caption and the file's name; an entry's details are "rows × columns" and the
// quoted text of the table's first cell that has any, and its tooltip begins with "Table N: ".
inline constexpr char kTitleFileSeparator[] = " - ";
inline constexpr char kTableSizeSeparator[] = " \u00d7 ";
inline constexpr char kTableDetailSeparator[] = ", ";
inline constexpr char kTableDescriptionPrefix[] = "Table ";
inline constexpr char kTableDescriptionSeparator[] = ": ";
inline constexpr char kTextCutMark[] = "\u2026";
// The details of a table too large to count before it is clicked: its size instead of its grid.
inline constexpr char kLargeTableSize[] = "%1 MB";

// The look of the program's windows: the desktop's, one of the program's own, or a user's style sheet.
inline constexpr char kViewMenu[] = "&View";
inline constexpr char kSkinMenu[] = "S&kin";
inline constexpr char kSkinDesktopAction[] = "&Desktop";
inline constexpr char kSkinLightAction[] = "&Light";
inline constexpr char kSkinDarkAction[] = "D&ark";
inline constexpr char kSkinLoadAction[] = "&Load skin...";
inline constexpr char kLoadSkinCaption[] = "Load skin";
inline constexpr char kSkinFilter[] = "Qt style sheets (*.qss)";
// %1 the file, %2 the reason.
inline constexpr char kCannotLoadSkin[] = "Cannot load the skin %1: %2";
inline constexpr char kSkinNotAStyleSheet[] = "it is not a valid Qt style sheet";
inline constexpr char kSkinTooLarge[] = "the file is too large for a style sheet";

// The page window of `corvane view`.
inline constexpr char kOpenPageAction[] = "&Open...";
inline constexpr char kReloadAction[] = "&Reload";
inline constexpr char kCloseAction[] = "&Close";
inline constexpr char kOpenPageCaption[] = "Open a page";
inline constexpr char kAllFilesFilter[] = "All files (*)";
inline constexpr char kGoMenu[] = "&Go";
inline constexpr char kBackAction[] = "&Back";
inline constexpr char kForwardAction[] = "&Forward";
inline constexpr char kZoomInAction[] = "Zoom &In";
inline constexpr char kZoomOutAction[] = "Zoom &Out";
inline constexpr char kZoomResetAction[] = "&Actual Size";
inline constexpr char kFindAction[] = "&Find...";
inline constexpr char kFindNextCaption[] = "&Next";
inline constexpr char kFindPreviousCaption[] = "&Previous";
inline constexpr char kMatchCaseCaption[] = "Match &case";
inline constexpr char kNotFoundText[] = "Not found";
inline constexpr char kZoomStatusPrefix[] = "Zoom ";

// Printing, from the Table Select dialog and the view window.
inline constexpr char kPrintAction[] = "&Print...";
inline constexpr char kPrintPreviewAction[] = "Print Pre&view...";
inline constexpr char kExportPdfAction[] = "E&xport PDF...";
inline constexpr char kPdfFilter[] = "PDF file (*.pdf)";
inline constexpr char kPdfTableSuffix[] = " table ";  // "prices table 2.pdf"
inline constexpr char kNothingToPrint[] = "There is no page to print: click a table first.";
inline constexpr char kCannotPrint[] = "Cannot print: ";
inline constexpr char kCannotExportPdf[] = "Cannot write the PDF: ";

}  // namespace corvane
