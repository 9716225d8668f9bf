#pragma once
// tivane-run's command line and runs, without Qt: a program run (--eval, FILE.prg) and a
// document run load no Qt library and no FFmpeg. Pictures and movies need both, so a document
// run with --export or --movie is handed, with the same arguments, to tivane-run-pictures,
// the same runner linked with render/ and movie/ (modulepaths.h says where it is looked for).

#include <memory>
#include <string>

namespace tivane {

class CTivaneDoc;

struct DocumentOptions {
    bool bare = false;
    bool allViews = false;
    bool save = false;
    std::string exportDir;
    std::string movieDir;
    std::string format = "png"; // of exported pictures: bmp, png, jpeg, svg or pdf
    std::string video = "avi";  // of movies: avi, mp4, webm or gif
    int32_t width = 800, height = 600;

    bool NeedsPictures() const { return !exportDir.empty() || !movieDir.empty(); }
};

// What only tivane-run-pictures does: the movies of a run and the export of its windows.
class PictureSide {
public:
    virtual ~PictureSide() = default;
    // Before the document executes: every graphics window starts recording. False after a
    // message when one cannot.
    virtual bool StartMovies(CTivaneDoc& doc, const DocumentOptions& options) = 0;
    // After the run: the movies are finalised. False after a message when one failed.
    virtual bool StopMovies() = 0;
    // Writes DIR/viewK.txt and the pictures DIR/viewK.png (or the chosen format). False after a
    // message when one fails.
    virtual bool ExportWindows(const CTivaneDoc& doc, const DocumentOptions& options) = 0;
};

// The runner's main. `pictures` makes the picture side (it may set up Qt); null in tivane-run,
// which then hands runs that need it to tivane-run-pictures.
using MakePictureSide = std::unique_ptr<PictureSide> (*)(int argc, char** argv);
int RunnerMain(int argc, char** argv, MakePictureSide pictures);

} // namespace tivane
