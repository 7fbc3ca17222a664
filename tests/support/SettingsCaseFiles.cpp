// Writes each settings file of the settings tests into a folder, as NAME.json,
// for the tests that run outside C++ (the schema test).
#include <filesystem>
#include <fstream>
#include <iostream>

#include "support/SettingsCases.h"

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::cerr << "usage: settings-case-files FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (const testsupport::LoadCase& c : testsupport::SettingsCases())
  {
    std::ofstream file(folder / (std::string(c.Name) + ".json"), std::ios::binary);
    file << c.File;
    if (!file)
    {
      std::cerr << "cannot write " << c.Name << " into " << folder << '\n';
      return 1;
    }
  }
  return 0;
}
