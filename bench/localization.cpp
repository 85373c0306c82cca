// Loading a language file of a few thousand keys, and looking texts up by key against a
// std::unordered_map<std::string, std::string> holding the same texts; expanding {name} references.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/localization/Localizator.h"
#include "mt/localization/LocalizatorImpl.h"
#include "mt/stream/MemoryStream.h"

namespace {

constexpr int KEY_COUNT = 4000;

// A language file in a temporary folder and a file manager that finds it, set up once for all benchmarks.
struct Fixture {
    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "mt-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            folder = pattern;
        std::filesystem::create_directories(folder + "/lang");
        std::ofstream file(folder + "/lang/english.lng", std::ios::binary);
        file << "# generated language file\r\n";
        static const char* groups[] = {"LAUNCHER", "MENU", "OPTIONS", "GAME", "SHOP", "ERROR"};
        for (int i = 0; i < KEY_COUNT; ++i) {
            std::string key = std::string(groups[i % 6]) + "_ITEM_" + std::to_string(i) + "_TEXT";
            std::string text =
                "Text number " + std::to_string(i) + " of the " + groups[i % 6] + " screen\\n%1";
            file << key << "\t" << text << "\r\n";
            keys.push_back(key);
            texts.emplace(key, text);
        }
        file.close();
        manager.reset(mt::file::createFileManager());
        manager->setRootDirectory(folder.c_str());
        registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
        mt::g_serviceRegistry = &registry;
        std::shuffle(keys.begin(), keys.end(), std::mt19937(3));
        for (const std::string& key : keys)
            frameworkKeys.emplace_back(key.c_str());
    }
    ~Fixture() {
        mt::g_serviceRegistry = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::string folder;
    std::unique_ptr<mt::file::FileManager> manager;
    mt::ServiceRegistry registry;
    std::vector<std::string> keys;
    std::vector<mt::String> frameworkKeys;
    std::unordered_map<std::string, std::string> texts;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void BM_LoadLanguageFile(benchmark::State& state) {
    fixture();
    for (auto _ : state) {
        std::unique_ptr<mt::localization::Localizator> localizator(
            mt::localization::createLocalizator("lang\\english.lng"));
        benchmark::DoNotOptimize(localizator.get());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * KEY_COUNT);
}
BENCHMARK(BM_LoadLanguageFile)->Unit(benchmark::kMillisecond);

void BM_GetText(benchmark::State& state) {
    Fixture& f = fixture();
    std::unique_ptr<mt::localization::Localizator> localizator(
        mt::localization::createLocalizator("lang\\english.lng"));
    size_t found = 0;
    for (auto _ : state) {
        for (const mt::String& key : f.frameworkKeys) {
            const mt::String& text = localizator->getText(key);
            found += static_cast<size_t>(text.length());
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * KEY_COUNT);
}
BENCHMARK(BM_GetText)->Unit(benchmark::kMicrosecond);

void BM_UnorderedMapLookup(benchmark::State& state) {
    Fixture& f = fixture();
    size_t found = 0;
    for (auto _ : state) {
        for (const std::string& key : f.keys) {
            auto it = f.texts.find(key);
            found += it != f.texts.end() ? it->second.size() : 0;
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * KEY_COUNT);
}
BENCHMARK(BM_UnorderedMapLookup)->Unit(benchmark::kMicrosecond);

// A text of state.range(0) references to a few names, expanded through a source that answers every name.
void BM_ExpandText(benchmark::State& state) {
    fixture();
    struct Names : mt::localization::VariableSource {
        const mt::String& lookup(const mt::String& name) override {
            value = mt::String("<") + name + ">";
            return value;
        }
        mt::String value;
    } names;
    std::string line = "EXPAND";
    for (int64_t i = 0; i < state.range(0); ++i)
        line += " word {name" + std::to_string(i % 5) + "}";
    line += "\n";
    mt::localization::LocalizatorImpl localizator("lang\\english.lng");
    mt::MemoryStream input(reinterpret_cast<uint8_t*>(line.data()), static_cast<int32_t>(line.size()),
                           mt::STREAM_NOT_OWNER);
    localizator.parseStream(input);
    localizator.setVariableSource(&names);
    size_t length = 0;
    for (auto _ : state)
        length += static_cast<size_t>(localizator.expandText("EXPAND").length());
    benchmark::DoNotOptimize(length);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ExpandText)->Arg(4)->Arg(256)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
