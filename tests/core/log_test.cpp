// The log: a fresh file per run, lines exactly as formatted.
#include <gtest/gtest.h>

#include "test_support.h"

TEST(Log, StartsWithTheRuntimeLineAlone) {
  std::vector<std::string> lines = log_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("trevik: ", 0), 0u);
  int runtime_lines = 0;
  for (const std::string& l : lines) runtime_lines += l.rfind("trevik: ", 0) == 0;
  EXPECT_EQ(runtime_lines, 1);
}

TEST(Log, LinesAreWrittenAsFormatted) {
  log_puts("");
  log_printf("joined %d", 1);
  log_printf(" and %s\n", "two");
  log_puts("last");
  std::string log = log_text();
  EXPECT_NE(log.find("\n\njoined 1 and two\nlast\n"), std::string::npos);
}
