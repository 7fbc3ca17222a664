// A reload's cost: LoadSettings on the sample file, beside a bare parse of
// the same bytes.
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
BENCHMARK(BareJsonParse);
