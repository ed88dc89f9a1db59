// Feeds files to a fuzz target without libFuzzer, so that the ordinary test run replays the
// committed seeds and every kept regression input. Arguments are files or folders of files;
// a folder that does not exist is skipped, but at least one input must be found.
#include <dirent.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Absolute paths of the regular files named by path (itself or, for a folder, its files).
static void CollectInputs(const char* path, std::vector<std::string>* inputs)
{
    char absolute[PATH_MAX];
    struct stat info;
    if (realpath(path, absolute) == NULL || stat(absolute, &info) != 0) {
        return;
    }
    if (S_ISREG(info.st_mode)) {
        inputs->push_back(absolute);
        return;
    }
    DIR* directory = opendir(absolute);
    if (directory == NULL) {
        return;
    }
    std::vector<std::string> files;
    while (struct dirent* entry = readdir(directory)) {
        std::string file = std::string(absolute) + "/" + entry->d_name;
        if (stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            files.push_back(file);
        }
    }
    closedir(directory);
    std::sort(files.begin(), files.end());
    inputs->insert(inputs->end(), files.begin(), files.end());
}

int main(int argc, char** argv)
{
    // Collected before the first input runs: the target then moves to its own directory.
    std::vector<std::string> inputs;
    for (int k = 1; k < argc; ++k) {
        CollectInputs(argv[k], &inputs);
    }
    if (inputs.empty()) {
        fprintf(stderr, "no inputs found\n");
        return 1;
    }
    for (const std::string& name : inputs) {
        FILE* file = fopen(name.c_str(), "rb");
        std::string bytes;
        char block[4096];
        size_t count;
        while (file != NULL && (count = fread(block, 1, sizeof block, file)) != 0) {
            bytes.append(block, count);
        }
        if (file == NULL || ferror(file)) {
            fprintf(stderr, "cannot read %s\n", name.c_str());
            return 1;
        }
        fclose(file);
        fprintf(stderr, "replaying %s\n", name.c_str());
        LLVMFuzzerTestOneInput((const uint8_t*)bytes.data(), bytes.size());
    }
    fprintf(stderr, "%zu inputs replayed\n", inputs.size());
    return 0;
}
