#include "templatefile.h"

#include <algorithm>

#include "inifile.h"

namespace tivane {

namespace {

// Longest values, as the fields of the file format hold them.
constexpr size_t kNumberLength = 9;
constexpr size_t kFileNameLength = 127;
constexpr size_t kTitleLength = 127;
constexpr size_t kDescriptionLength = 499;

constexpr std::string_view kDescription = "Description";

} // namespace

bool ReadTemplate(TemplateInfo& t, const SearchContext& ctx) {
    if (!LocateFile(t.templateFileName, "DEFAULT.TML", ctx)) return false;

    // A file that was found but cannot be read gives every key its default.
    const IniFile ini = IniFile::Load(t.templateFileName).value_or(IniFile());

    const auto count =
        static_cast<int16_t>(ini.GetInt(kDescription, "NoOfViews", "", kNumberLength));
    t.viewCount = std::min(count, kMaxTemplateViews);
    t.mainProgramFileName = ini.GetString(kDescription, "MainProgramFileName", "", kFileNameLength);
    t.descriptionText = ini.GetString(kDescription, "DescriptionText", "", kDescriptionLength);

    t.views.clear();
    for (int16_t n = 0; n < t.viewCount; ++n) {
        const std::string section = "View" + std::to_string(n);
        ViewDescriptor view;
        view.programFileName = ini.GetString(section, "ProgramFileName", "", kFileNameLength);
        view.titleText = ini.GetString(section, "TitleText", "", kTitleLength);
        view.type = static_cast<uint8_t>(ini.GetInt(section, "TypeOfView", "1", kNumberLength));
        t.views.push_back(std::move(view));
    }
    return true;
}

std::string ViewProgramFileName(const TemplateInfo& t, int16_t n, const SearchContext& ctx) {
    std::string name;
    if (n >= 0 && static_cast<size_t>(n) < t.views.size()) name = t.views[n].programFileName;
    LocateFile(name, "default0.prg", ctx);
    return name;
}

} // namespace tivane
