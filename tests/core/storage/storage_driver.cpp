// A second program for the two-program tests: records into a Project, one step per line read from
// standard input, reporting each step on standard output, so a test can open the Project from its
// own process at chosen moments or kill this one there.
//
//   zk_storage_driver <project> <measurementId> <blocks> <blockFrames> [nolocks]
//
// With "nolocks" every lock it takes fails as on a file system without a lock service.
// After "started" it waits for a line before each of the blocks ("appended <k>") and once more
// before the finalize ("saved" or "failed <reason>").
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "core/platform/file_platform.h"
#include "core/storage/recording.h"
#include "storage/recording_pattern.h"

int main(int argc, char** argv) {
    if (argc != 5 && !(argc == 6 && std::string(argv[5]) == "nolocks")) {
        std::fprintf(stderr,
                     "usage: zk_storage_driver <project> <measurementId> <blocks> <blockFrames> [nolocks]\n");
        return 2;
    }
    if (argc == 6) zk::core::failAdvisoryLocksForTesting(ENOLCK);
    try {
        const int blocks = std::atoi(argv[3]);
        const std::size_t blockSamples = std::strtoull(argv[4], nullptr, 10) * zk::test::kPatternWire;
        zk::core::Recording recording(argv[1], argv[2], zk::test::threeChannelProfile(), "driver");
        std::cout << "started" << std::endl;
        std::string line;
        for (int b = 0; b < blocks; ++b) {
            if (!std::getline(std::cin, line)) return 3;
            recording.append(zk::test::samplesFrom(b * blockSamples, blockSamples));
            std::cout << "appended " << b + 1 << std::endl;
        }
        if (!std::getline(std::cin, line)) return 3;
        recording.finalize("");
        std::cout << "saved" << std::endl;
        return 0;
    } catch (const std::exception& error) {
        std::cout << "failed " << error.what() << std::endl;
        return 1;
    }
}
