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

}  // namespace corvane
