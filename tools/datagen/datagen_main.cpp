// vantrel-datagen: makes the show's default data set. Given the build
// directory, it writes every file the show reads under data/ and the start-up
// dialog's picture under resources/. The output depends on nothing but this
// program: fixed seeds, no time stamps, the same bytes on every run.
//
//   vantrel-datagen <output directory> [only]
// With a second argument only the files whose path contains it are written.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "meshes.h"
#include "music.h"
#include "pictures.h"
#include "png_output.h"
#include "video.h"

namespace {

struct Job {
    const char* path; // relative to the output directory
    bool (*make)(const std::string& path);
};

bool writePicture(const std::string& path, const Raster& raster, int channels) {
    if (raster.width == 0) {
        std::fprintf(stderr, "vantrel-datagen: cannot make %s\n", path.c_str());
        return false;
    }
    return writePng(path, raster, channels);
}

const Colour guessAccent{1.0f, 0.45f, 0.15f, 1}, whoisAccent{0.25f, 0.75f, 1.0f, 1},
    backAccent{0.95f, 0.2f, 0.55f, 1};

const Job jobs[] = {
    {"data/music/track.mp3", writeMusicTrack},
    {"data/demo1.avi", writeDemoClip},
    {"data/3d/smoothspike.obj", [](const std::string& p) { return writeSpikeMesh(p, 0); }},
    {"data/3d/smoothspike2.obj", [](const std::string& p) { return writeSpikeMesh(p, 1); }},
    {"data/textures/org.png",
     [](const std::string& p) { return writePicture(p, makeOrbSprite(), 3); }},
    {"data/textures/block.png",
     [](const std::string& p) { return writePicture(p, makeBlockSprite(), 3); }},
    {"data/textures/back7.png",
     [](const std::string& p) { return writePicture(p, makeOpeningBackground(), 3); }},
    {"data/textures/env3.png",
     [](const std::string& p) { return writePicture(p, makeChromeSphereMap(), 3); }},
    {"data/textures/envifoo.png",
     [](const std::string& p) { return writePicture(p, makeGreetingSprite(), 3); }},
    {"data/textures/font.png",
     [](const std::string& p) { return writePicture(p, makeFontSheet(), 4); }},
    {"data/overlay/guess.png",
     [](const std::string& p) {
         return writePicture(p, makeTitleCard("GUESS", "who else", guessAccent), 3);
     }},
    {"data/overlay/whois.png",
     [](const std::string& p) {
         return writePicture(p, makeTitleCard("WHO IS", "on the floor", whoisAccent), 3);
     }},
    {"data/overlay/back.png",
     [](const std::string& p) {
         return writePicture(p, makeTitleCard("BACK", "in full colour", backAccent), 3);
     }},
    {"data/overlay/lorv.png", [](const std::string& p) { return writePicture(p, makeLogo(), 4); }},
    {"data/overlay/lorv_mask.png",
     [](const std::string& p) { return writePicture(p, makeLogoMask(), 3); }},
    {"resources/startup_picture.png",
     [](const std::string& p) { return writePicture(p, makeFacadePicture(), 3); }},
};
const int jobCount = sizeof jobs / sizeof jobs[0];

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool runJob(const std::string& root, const Job& job) {
    auto start = std::chrono::steady_clock::now();
    std::filesystem::path path = std::filesystem::path(root) / job.path;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        std::fprintf(stderr, "vantrel-datagen: cannot create %s: %s\n", path.parent_path().c_str(),
                     error.message().c_str());
        return false;
    }
    bool ok = job.make(path.string());
    std::printf("  %-32s %6.2f s%s\n", job.path, secondsSince(start), ok ? "" : "  FAILED");
    return ok;
}

bool wanted(const Job& job, const char* only) {
    return !only || std::strstr(job.path, only);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vantrel-datagen <output directory> [only]\n");
        return 2;
    }
    std::string root = argv[1];
    const char* only = argc == 3 ? argv[2] : nullptr;
    auto start = std::chrono::steady_clock::now();
    // The music is the longest job by far: it runs beside all the others.
    bool musicOk = true;
    std::thread music;
    if (wanted(jobs[0], only))
        music = std::thread([&] { musicOk = runJob(root, jobs[0]); });
    bool ok = true;
    for (int i = 1; i < jobCount; i++)
        if (wanted(jobs[i], only))
            ok = runJob(root, jobs[i]) && ok;
    if (music.joinable())
        music.join();
    ok = ok && musicOk;
    std::printf("vantrel-datagen: %s in %.2f s\n", ok ? "data set written" : "FAILED",
                secondsSince(start));
    return ok ? 0 : 1;
}
