#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "filefuzz.h"
#include "inifile.h"
#include "ui.h"
#include "viewbase.h"

namespace tivane::fuzz {

namespace {

// The lengths and the window limit a document reads a layout with.
constexpr size_t kNumberLength = 9;
constexpr size_t kFileNameLength = 127;
constexpr size_t kPlacementLength = 199;
constexpr int32_t kMaxRestoredWindows = 100;

// Control bytes and bytes past ASCII as \xNN, so that a report shows what differs.
std::string Escape(std::string_view s) {
    std::string out;
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

[[noreturn]] void Fail(const char* what, const std::string& expected, const std::string& got) {
    std::fprintf(stderr, "layout invariant broken: %s\n  expected \"%s\"\n  got      \"%s\"\n",
                 what, Escape(expected).c_str(), Escape(got).c_str());
    std::abort();
}

void CheckSame(const char* what, const std::string& expected, const std::string& got) {
    if (expected != got) Fail(what, expected, got);
}

// What a value written by SetString reads back as: line breaks made blanks, then the
// surrounding blanks and tabs a reader removes.
std::string AsReadBack(std::string_view value) {
    std::string s(value);
    for (char& c : s) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

struct RestoredWindow {
    std::string section;
    int32_t type = 0;
    std::string placementText;
    WindowPlacement placement;
};

struct RestoredLayout {
    int32_t windowCount = 0;
    std::string templateFile;
    std::vector<RestoredWindow> windows;
};

// The reads of CTivaneDoc::RestoreLayout and CViewBase::LoadPlacement, in their order.
RestoredLayout Restore(const IniFile& layout) {
    RestoredLayout r;
    r.windowCount = layout.GetInt("Description", "NoOfWindows", "0", kNumberLength);
    r.templateFile =
        layout.GetString("Description", "TemplateFile", "DEFAULT.TML", kFileNameLength);
    if (r.templateFile.size() > kFileNameLength)
        Fail("template name longer than asked for", "", r.templateFile);
    for (int32_t k = std::min(r.windowCount, kMaxRestoredWindows) - 1; k >= 0; --k) {
        RestoredWindow w;
        w.section = "Window" + std::to_string(k);
        if (!layout.HasSection(w.section)) continue;
        w.type = layout.GetInt(w.section, "WindowType", "", kNumberLength);
        w.placementText = layout.GetString(w.section, "WindowPlacement", "", kPlacementLength);
        if (w.placementText.size() > kPlacementLength)
            Fail("placement longer than asked for", "", w.placementText);
        if (!w.placementText.empty()) ParsePlacement(w.placementText, w.placement);
        // A placement as a layout stores it reads back as itself.
        WindowPlacement again{7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
        ParsePlacement(FormatPlacement(w.placement), again);
        if (!(again == w.placement))
            Fail("placement does not survive formatting", FormatPlacement(w.placement),
                 FormatPlacement(again));
        r.windows.push_back(w);
    }
    return r;
}

void CheckSameLayout(const char* what, const RestoredLayout& a, const RestoredLayout& b) {
    CheckSame(what, std::to_string(a.windowCount), std::to_string(b.windowCount));
    CheckSame(what, a.templateFile, b.templateFile);
    CheckSame(what, std::to_string(a.windows.size()), std::to_string(b.windows.size()));
    for (size_t i = 0; i < a.windows.size(); ++i) {
        CheckSame(what, a.windows[i].section, b.windows[i].section);
        CheckSame(what, std::to_string(a.windows[i].type), std::to_string(b.windows[i].type));
        CheckSame(what, a.windows[i].placementText, b.windows[i].placementText);
    }
}

} // namespace

void RunLayoutInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile layout = IniFile::FromText(text);
    const RestoredLayout restored = Restore(layout);

    // Writing the file out untouched loses nothing a document reads.
    CheckSameLayout("an unchanged layout reads otherwise after saving", restored,
                    Restore(IniFile::FromText(layout.Text())));

    // What saving a document writes (CTivaneDoc::OnSaveDocument, CViewBase::SavePlacement),
    // each value read back from the saved text.
    for (const RestoredWindow& w : restored.windows) {
        layout.SetString(w.section, "WindowPlacement", FormatPlacement(w.placement));
        layout.SetString(w.section, "WindowType", std::to_string(w.type));
    }
    layout.SetString("Description", "NoOfWindows", std::to_string(restored.windowCount));
    layout.SetString("Description", "TemplateFile", restored.templateFile);
    // A value taken from the input itself, blanks and line breaks included.
    const std::string_view tail = text.substr(text.size() / 2);
    layout.SetString("Description", "Comment", tail);

    const IniFile saved = IniFile::FromText(layout.Text());
    const size_t all = text.size() + 1000;
    for (const RestoredWindow& w : restored.windows) {
        if (!saved.HasSection(w.section)) Fail("window section lost", w.section, "");
        CheckSame("placement not read back", FormatPlacement(w.placement),
                  saved.GetString(w.section, "WindowPlacement", "<none>", all));
        CheckSame("window type not read back", std::to_string(w.type),
                  saved.GetString(w.section, "WindowType", "<none>", all));
    }
    CheckSame("window count not read back", std::to_string(restored.windowCount),
              saved.GetString("Description", "NoOfWindows", "<none>", all));
    CheckSame("template name not read back", AsReadBack(restored.templateFile),
              saved.GetString("Description", "TemplateFile", "<none>", all));
    CheckSame("free text not read back", AsReadBack(tail),
              saved.GetString("Description", "Comment", "<none>", all));
}

} // namespace tivane::fuzz
