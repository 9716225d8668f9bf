// A saved document, reopened, shows the picture it showed when it was saved: the replay of a
// graphics window at the same size gives the same pixels.

#include <gtest/gtest.h>

#include <string>

#include <QImage>

#include "document/docfixture.h"
#include "replay.h"
#include "tivanegraph.h"

namespace tivane::testing {
namespace {

using ReopenTest = DocTest;

QImage Shown(const CTivaneDoc& doc) {
    const auto& graph = dynamic_cast<const CTivaneGraph&>(*doc.Views()[1]);
    return RenderPicture(graph.List(), graph.Model().Clip(), QSize(320, 240));
}

int Drawn(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) != qRgb(255, 255, 255);
    }
    return n;
}

TEST_F(ReopenTest, AReopenedPictureReplaysToTheSamePixels) {
    const char* const programs[] = {
        // A picture in a small clip window, which the whole area would shrink to a dot.
        "CLIPWINDOW(0, 0, 600, 600); WINDOWEXT(-1, 1, 1, -1); PENSIZE(4); MOVETO(-1, -1);"
        "LINETO(1, 1); MOVETO(-1, 1); LINETO(1, -1)",
        // As the examples draw their graphs: most of the width, part of the height.
        "CLIPWINDOW(0, 0, 29999, 20000); WINDOWEXT(0, 10, 100, -10); PENSIZE(3);"
        "MOVETO(0, 0); LINETO(50, 9); LINETO(100, -9); MOVETO(10, 5); PRINT(\"graph\")",
    };
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        Clear();
        Model("",
              "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n"
              "[View0]\nProgramFileName=graph.prg\nTypeOfView=2\n",
              "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n"
              "[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n");
        Write("cwd/main.prg", "EXECVIEWTEMPLATES(0)");
        Write("cwd/graph.prg", std::string("CLEARVIEW(0); ") + program);
        Open();
        doc->Execute();
        const QImage before = Shown(*doc);
        // Lines across the picture, not a corner of it.
        EXPECT_GT(Drawn(before), 320);
        ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
        Open();
        EXPECT_TRUE(Shown(*doc) == before);
        doc.reset();
    }
}

} // namespace
} // namespace tivane::testing
