#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Exceptions.h"
#include "platform/TextCodec.h"
#include "statements/uSQLManager.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

using testing::TempDir;

std::string MarkedUtf16(std::string_view utf8, ByteOrder order) {
  return Utf16Bytes(u"\uFEFF" + Utf8ToUtf16(utf8), order);
}

class SQLManagerFiles : public ::testing::Test {
 protected:
  void load(std::string_view name, std::string_view bytes) {
    catalogue_.LoadFromFile(dir_.write(name, bytes).string());
  }
  TempDir dir_;
  TSQLManager catalogue_;
};

TEST_F(SQLManagerFiles, FindSQLRebuildsTheTextWithCrLfAndIgnoresCase) {
  load("a.sql", "--$ sql_vault_info\nselect GUID\n  from VAULT  \n--$empty\n--$\nselect 0");
  EXPECT_EQ(catalogue_.StatementCount(), 3);
  EXPECT_EQ(catalogue_.FindSQL("sql_vault_info"), "select GUID\r\n  from VAULT  \r\n");
  EXPECT_EQ(catalogue_.FindSQL("SQL_VAULT_INFO"), "select GUID\r\n  from VAULT  \r\n");
  EXPECT_EQ(catalogue_.FindSQL("Empty"), "");
  EXPECT_EQ(catalogue_.FindSQL(""), "select 0\r\n");
  EXPECT_EQ(catalogue_.FindSQL("select 1 from RDB$DATABASE"), "select 1 from RDB$DATABASE");
}

TEST_F(SQLManagerFiles, TheFirstDefinitionOfANameWinsWithinAFile) {
  load("a.sql", "--$sql_user_insert\nfirst\n--$SQL_USER_INSERT\nsecond\n--$other\nthird\n");
  EXPECT_EQ(catalogue_.StatementCount(), 2);
  EXPECT_EQ(catalogue_.FindSQL("sql_user_insert"), "first\r\n");
  EXPECT_EQ(catalogue_.FindSQL("other"), "third\r\n");
}

TEST_F(SQLManagerFiles, AnUnmarkedFileIsOneStatementNamedWithItsExtension) {
  load("Plain.sql", "select 1\nfrom x\r");
  EXPECT_EQ(catalogue_.StatementCount(), 1);
  EXPECT_EQ(catalogue_.FindSQL("plain.SQL"), "select 1\r\nfrom x\r\n");
}

TEST_F(SQLManagerFiles, AMarkedFileWithoutHeaderLinesYieldsNothing) {
  load("a.sql", "select '--$' from x\n");
  EXPECT_EQ(catalogue_.StatementCount(), 0);
}

TEST_F(SQLManagerFiles, EveryByteOrderMarkLoadsTheSameStatements) {
  const std::string text =
      "-- header\r\n--$ sql_a\r\nselect 1\r\n--@sql_b\r\n  where x = 'y'  \r\n";
  const std::string encodings[] = {text, "\xEF\xBB\xBF" + text,
                                   MarkedUtf16(text, ByteOrder::LittleEndian),
                                   MarkedUtf16(text, ByteOrder::BigEndian)};
  for (const auto& bytes : encodings) {
    TSQLManager catalogue;
    catalogue.LoadFromFile(dir_.write("enc.sql", bytes).string());
    EXPECT_EQ(catalogue.StatementCount(), 2);
    EXPECT_EQ(catalogue.FindSQL("sql_a"), "select 1\r\n");
    EXPECT_EQ(catalogue.FindSQL("sql_b"), "  where x = 'y'  \r\n");
  }
}

TEST_F(SQLManagerFiles, NonAsciiTextDecodesToUtf8) {
  load("le.sql", MarkedUtf16("--$a\n'Grüße 東京'", ByteOrder::LittleEndian));
  load("utf8.sql", "--$b\n'Grüße'");
  load("ansi.sql",
       "--$c\n'Gr\xFC\xDF"
       "e'");  // Windows-1252
  EXPECT_EQ(catalogue_.FindSQL("a"), "'Grüße 東京'\r\n");
  EXPECT_EQ(catalogue_.FindSQL("b"), "'Grüße'\r\n");
  EXPECT_EQ(catalogue_.FindSQL("c"), "'Grüße'\r\n");
}

TEST_F(SQLManagerFiles, ANameThatIsNoFileIsSkipped) {
  catalogue_.LoadFromFile((dir_.path() / "missing.sql").string());
  catalogue_.LoadFromFile(dir_.mkdir("folder.sql").string());
  EXPECT_EQ(catalogue_.StatementCount(), 0);
}

// Start-up loads the folder; a FIFO named like a statement file must not
// hold it up.
TEST_F(SQLManagerFiles, AFifoIsSkippedWithoutWaiting) {
  dir_.write("b.sql", "--$kept\nselect 1\n");
  const auto fifo = dir_.fifo("a.sql");
  EXPECT_TRUE(testing::EndsBesideAnIdleFifo(fifo, [&] { catalogue_.LoadFromPath(dir_.folder()); }));
  EXPECT_EQ(catalogue_.StatementCount(), 1);
}

TEST_F(SQLManagerFiles, AnUnreadableFileRaisesAndKeepsWhatWasLoaded) {
  if (!std::filesystem::is_regular_file("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem";
  dir_.write("a.sql", "--$kept\nselect 1\n");
  // Opens as a regular file, but reading from its start fails.
  std::filesystem::create_symlink("/proc/self/mem", dir_.path() / "b.sql");
  EXPECT_THROW(catalogue_.LoadFromPath(dir_.folder()), EFileError);
  EXPECT_EQ(catalogue_.FindSQL("kept"), "select 1\r\n");
}

class SQLManagerFolder : public SQLManagerFiles {};

TEST_F(SQLManagerFolder, LoadsSqlFilesInNameOrderAndTheFirstLoadedWins) {
  // Written in reverse, so that creation order cannot pass for name order.
  dir_.write("c.sql", "--$shared\nfrom c\n--$only_c\nc\n");
  dir_.write("b.sql", "--$shared\nfrom b\n");
  dir_.write("a.sql", "--$SHARED\nfrom a\n");
  catalogue_.LoadFromPath(dir_.folder());
  EXPECT_EQ(catalogue_.StatementCount(), 2);
  EXPECT_EQ(catalogue_.FindSQL("shared"), "from a\r\n");
}

TEST_F(SQLManagerFolder, TakesHiddenAndUpperCaseFilesButNoOthersAndNoSubFolders) {
  dir_.write(".hidden.sql", "--$hidden\nh\n");
  dir_.write("UPPER.SQL", "--$upper\nu\n");
  dir_.write("notes.txt", "--$txt\nt\n");
  dir_.write("sql", "--$bare\nb\n");
  dir_.write("sub/inner.sql", "--$inner\ni\n");
  dir_.write("dir.sql/inner.sql", "--$inner2\ni\n");
  catalogue_.LoadFromPath(dir_.folder());
  EXPECT_EQ(catalogue_.StatementCount(), 2);
  EXPECT_EQ(catalogue_.FindSQL("hidden"), "h\r\n");
  EXPECT_EQ(catalogue_.FindSQL("upper"), "u\r\n");
}

TEST_F(SQLManagerFolder, AFolderWithoutStatementFilesLoadsNothing) {
  catalogue_.LoadFromPath(dir_.folder());
  catalogue_.LoadFromPath((dir_.path() / "missing/").string());
  EXPECT_EQ(catalogue_.StatementCount(), 0);
}

TEST(SQLManagerDeployment, TheDeployedStatementFileIsMarked) {
  // Unmarked it would load as one statement "Movrano.sql" and let runs
  // start without any of the statements they need.
  TSQLManager catalogue;
  catalogue.LoadFromFile(MOVRANO_STATEMENT_FILE);
  EXPECT_EQ(catalogue.FindSQL("Movrano.sql"), "Movrano.sql");
}

TEST(SQLManagerAccessor, ExistsBetweenCreationAndRelease) {
  const char* message =
      "SqlManager has not been initialized. Exucute InitializeSQLManager method first";
  try {
    SQLManager();
    FAIL() << "no catalogue expected";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.className(), "Exception");
    EXPECT_STREQ(e.what(), message);
  }
  {
    SQLManagerScope scope;
    EXPECT_EQ(SQLManager().StatementCount(), 0);
    TempDir dir;
    SQLManager().LoadFromFile(dir.write("a.sql", "--$a\n1").string());
    CreateSQLManager();  // a second creation keeps the loaded catalogue
    EXPECT_EQ(SQLManager().StatementCount(), 1);
  }
  EXPECT_THROW(SQLManager(), Exception);
}

}  // namespace
}  // namespace movrano
