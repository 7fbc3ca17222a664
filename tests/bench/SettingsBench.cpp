// A reload's cost: LoadSettings on the sample file, beside what no reload can
// do without (opening and reading the file, and parsing its bytes), and a
// bare parse alone.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "devhost/Host.h"
#include "settings/CorpseSettings.h"
#include "support/ServerDirectory.h"

namespace
{
std::string SampleConfig()
{
  std::ifstream file(ASHGROVE_SAMPLE_CONFIG, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void LoadSettingsSample(benchmark::State& state)
{
  const testsupport::ServerDirectory server;
  server.WriteConfig(SampleConfig());
  devhost::SetServerDirectory(server.Path());
  for (auto _ : state)
  {
    LoadSettings();
    benchmark::DoNotOptimize(CorpseSettings);
  }
}

// The floor: the file opened and read whole, its bytes parsed.
void OpenReadParse(benchmark::State& state)
{
  const testsupport::ServerDirectory server;
  server.WriteConfig(SampleConfig());
  const std::string path = server.ConfigPath().string();
  for (auto _ : state)
  {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    benchmark::DoNotOptimize(nlohmann::json::parse(bytes, nullptr, true, false));
  }
}

void BareJsonParse(benchmark::State& state)
{
  const std::string bytes = SampleConfig();
  for (auto _ : state)
  {
    std::istringstream stream(bytes);
    nlohmann::json document;
    stream >> document;
    benchmark::DoNotOptimize(document);
  }
}
} // namespace

BENCHMARK(LoadSettingsSample);
BENCHMARK(OpenReadParse);
BENCHMARK(BareJsonParse);
