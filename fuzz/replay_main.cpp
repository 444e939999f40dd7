// SPDX-License-Identifier: Apache-2.0
// Replays files through a libFuzzer entry point without libFuzzer, so that
// every build can run the seeds and past crashes as a test.
#include <QGuiApplication>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void replayFile(const std::filesystem::path& path, int& count)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++count;
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path root(argv[i]);
        if (std::filesystem::is_regular_file(root)) {
            replayFile(root, count);
            continue;
        }
        if (!std::filesystem::is_directory(root))
            continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_regular_file())
                replayFile(entry.path(), count);
    }
    std::printf("replayed %d files\n", count);
    return 0;
}
