#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "rcon/Password.h"

namespace
{
namespace fs = std::filesystem;

// What resolving gives, in one line: the password, "none", or the error.
std::string Outcome(const rcon::PasswordSources& sources)
{
  try
  {
    const auto password = rcon::ResolvePassword(sources, "given twice");
    return password ? "password " + *password : "none";
  }
  catch (const rcon::PasswordError& error)
  {
    return std::string("error ") + error.what();
  }
}

class PasswordSources : public ::testing::Test
{
protected:
  void SetUp() override
  {
    fs::create_directories(folder_);
    std::ofstream(file_, std::ios::binary) << "from file\r\n";
  }

  void TearDown() override
  {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  const fs::path folder_ = fs::temp_directory_path() /
                           ("ashgrove-rcon-password-" + std::to_string(std::random_device{}()));
  const fs::path file_ = folder_ / "password";
};

TEST_F(PasswordSources, ThePasswordComesFromTheOneSourceThatHoldsIt)
{
  struct Case
  {
    const char* Name;
    rcon::PasswordSources Sources;
    std::string Outcome;
  };
  const std::vector<Case> cases = {
      {"Text", {.Text = "typed"}, "password typed"},
      {"FileLosesOneLineEnding", {.File = file_}, "password from file"},
      {"NoSource", {}, "none"},
      {"AnUnsetVariableHoldsNone", {.Variable = "ASHGROVE_TEST_UNSET_PASSWORD"}, "none"},
      {"FileBesideAnUnsetVariable",
       {.File = file_, .Variable = "ASHGROVE_TEST_UNSET_PASSWORD"},
       "password from file"},
      {"TextAndFile", {.Text = "typed", .File = file_}, "error given twice"},
      {"EmptyText", {.Text = ""}, "error the RCON password is empty"},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(Outcome(c.Sources), c.Outcome) << c.Name;
  }
  EXPECT_TRUE(Outcome({.File = folder_ / "missing"})
                  .starts_with("error cannot read the RCON password file "));
}

#if !defined(_WIN32)
TEST_F(PasswordSources, ASetVariableIsASourceOfItsOwn)
{
  ::setenv("ASHGROVE_TEST_PASSWORD", "from env", 1);
  EXPECT_EQ(Outcome({.Variable = "ASHGROVE_TEST_PASSWORD"}), "password from env");
  EXPECT_EQ(Outcome({.File = file_, .Variable = "ASHGROVE_TEST_PASSWORD"}), "error given twice");
  ::setenv("ASHGROVE_TEST_PASSWORD", "", 1);
  EXPECT_EQ(Outcome({.Variable = "ASHGROVE_TEST_PASSWORD"}), "error the RCON password is empty");
  ::unsetenv("ASHGROVE_TEST_PASSWORD");
}
#endif
} // namespace
