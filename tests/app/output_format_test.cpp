#include "app/output_format.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

// The format option picks the writer of its format, and with it what the job asks of a writer.
TEST(OutputFormat, EachNamePicksItsFormatsWriter) {
  struct TCase {
    const char* name;
    std::string appendTarget;
    std::string_view extension;
    TLineBreaks cut;
    bool readsHead;
    bool records;
    bool atJobEnd;
  };
  const TCase cases[] = {
      {"xls", "", ".xls", TLineBreaks::Joined, false, false, false},
      {"xls", "all.xls", ".xls", TLineBreaks::Joined, false, false, false},
      {"csv", "", ".csv", TLineBreaks::Kept, true, true, false},
      {"jsonl", "all.jsonl", ".jsonl", TLineBreaks::Kept, true, true, false},
      {"xlsx", "", ".xlsx", TLineBreaks::Kept, true, false, false},
      {"xlsx", "all.xlsx", ".xlsx", TLineBreaks::Kept, true, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.appendTarget);
    const std::optional<TOutputFormat> format = OutputFormatNamed(c.name);
    ASSERT_TRUE(format.has_value());
    const std::unique_ptr<TTableWriter> writer = MakeTableWriter(*format, c.appendTarget);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->Extension(), c.extension);
    EXPECT_EQ(writer->LineBreaks(), c.cut);
    EXPECT_EQ(writer->ReadsPageHead(), c.readsHead);
    EXPECT_EQ(writer->WritesRecords(), c.records);
    EXPECT_EQ(writer->WritesAtJobEnd(), c.atJobEnd);
  }
  for (const char* unknown : {"", "XLS", "pdf", "xls "}) EXPECT_FALSE(OutputFormatNamed(unknown).has_value()) << unknown;
}

}  // namespace
}  // namespace corvane
