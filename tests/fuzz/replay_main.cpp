// Runs the fuzz target over files and folders of inputs without libFuzzer: the
// seed corpus and any reproducer become a plain regression test.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "support/scratch.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    // Read everything first: the target works in a scratch folder of its own.
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        DIR* folder = opendir(argv[i]);
        if (folder == nullptr) {
            names.push_back(argv[i]);
            continue;
        }
        while (dirent* entry = readdir(folder)) {
            if (entry->d_name[0] != '.')
                names.push_back(std::string(argv[i]) + "/" + entry->d_name);
        }
        closedir(folder);
    }
    std::vector<std::string> inputs;
    for (const std::string& name : names)
        inputs.push_back(read_file(name));

    LLVMFuzzerInitialize(&argc, &argv);
    for (size_t i = 0; i < inputs.size(); ++i) {
        fprintf(stderr, "%s\n", names[i].c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(inputs[i].data()),
                               inputs[i].size());
    }
    printf("%zu inputs passed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
