// tivane-run-pictures: tivane-run with pictures and movies. tivane-run hands it the runs that
// export windows or record movies (runner.h); it is the same runner with a PictureSide that
// uses Qt's GUI layer, without a display, and the movie recorder.

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include <QGuiApplication>

#include "atomicfile.h"
#include "movierecorder.h"
#include "pictureexport.h"
#include "qtenv.h"
#include "runner.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane {
namespace {

class QtPictureSide final : public PictureSide {
public:
    QtPictureSide(int argc, char** argv) : m_argc(argc > 0 ? 1 : 0), m_argv{argv[0], nullptr} {
        // Pictures and fonts need Qt's GUI layer, never a display.
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        PrepareQtEnvironment();
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
        // The language prints numbers with a '.' whatever the user's locale says.
        std::setlocale(LC_NUMERIC, "C");
        InstallPictureWriter(&m_pictureWriter);
    }
    ~QtPictureSide() override {
        m_movies.clear();
        InstallPictureWriter(nullptr);
    }

    bool StartMovies(CTivaneDoc& doc, const DocumentOptions& options) override {
        std::error_code ec;
        std::filesystem::create_directories(options.movieDir, ec);
        const QSize size(options.width, options.height);
        const VideoFormat format = VideoFormatNamed(options.video).value_or(VideoFormat::Avi);
        int32_t k = 0;
        for (const auto& view : doc.Views()) {
            const int32_t index = k++;
            if (view->Kind() != ViewKind::Graphics) continue;
            auto movie =
                std::make_unique<MovieRecorder>(static_cast<CTivaneGraph&>(*view),
                                                options.movieDir + "/view" + std::to_string(index) +
                                                    std::string(VideoExtension(format)),
                                                [size] { return size; });
            if (!movie->Start() || !movie->BeginIfRequested(size)) {
                std::cerr << "Could not record " << movie->FileName() << ": "
                          << movie->LastErrorText() << "\n";
                return false;
            }
            m_movies.push_back(std::move(movie));
        }
        return true;
    }

    bool StopMovies() override {
        bool ok = true;
        for (auto& movie : m_movies) {
            if (!movie->Stop() ||
                movie->LastStopReason() == MovieRecorder::StopReason::WriteFailed) {
                std::cerr << movie->FileName() << ": " << movie->LastErrorText() << "\n";
                ok = false;
            }
        }
        m_movies.clear();
        return ok;
    }

    bool ExportWindows(const CTivaneDoc& doc, const DocumentOptions& options) override;

private:
    int m_argc;
    char* m_argv[2];
    std::unique_ptr<QGuiApplication> m_app;
    FilePictureWriter m_pictureWriter;
    std::vector<std::unique_ptr<MovieRecorder>> m_movies;
};

bool QtPictureSide::ExportWindows(const CTivaneDoc& doc, const DocumentOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(options.exportDir, ec);
    if (ec) {
        std::cerr << "Could not create the directory " << options.exportDir << ".\n";
        return false;
    }
    const PictureFormat format = FormatNamed(options.format).value_or(PictureFormat::Png);
    bool ok = true;
    int32_t k = 0;
    for (const auto& view : doc.Views()) {
        const std::string base = options.exportDir + "/view" + std::to_string(k++);
        if (view->Kind() == ViewKind::Text) {
            const WriteResult r = WriteFileAtomically(base + ".txt", view->Surface().Text());
            if (!r.Ok()) {
                std::cerr << "Could not write the file " << base << ".txt: " << r.error << ".\n";
                ok = false;
            }
            continue;
        }
        const auto& graph = static_cast<const CTivaneGraph&>(*view);
        const std::string name = base + std::string(ExtensionOf(format));
        std::string error;
        if (!WritePicture(graph.List(), graph.Model().Clip(), options.width, options.height, format,
                          name, error)) {
            // A write failure names the file already; a refused size does not.
            std::cerr << (error.find(name) == std::string::npos ? name + ": " : "") << error
                      << '\n';
            ok = false;
        }
    }
    return ok;
}

std::unique_ptr<PictureSide> MakeQtPictureSide(int argc, char** argv) {
    return std::make_unique<QtPictureSide>(argc, argv);
}

} // namespace
} // namespace tivane

int main(int argc, char** argv) {
    return tivane::RunnerMain(argc, argv, tivane::MakeQtPictureSide);
}
