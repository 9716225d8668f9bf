#pragma once
// The template file (".tml"): an INI file naming a document's main program and its views.
//
//   [Description]  NoOfViews, MainProgramFileName, DescriptionText
//   [View<n>]      ProgramFileName, TitleText, TypeOfView   (n = 0 .. NoOfViews - 1)

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filesearch.h"

namespace tivane {

enum class ViewType : uint8_t { Text = 1, Graphics = 2 };

// One view of a template, in template order; its index is the view number.
struct ViewDescriptor {
    uint8_t type = 1;            // 2 is a graphics view; every other value a text view
    std::string titleText;       // the View menu label, at most 127 characters
    std::string programFileName; // as written in the template, not yet searched
};

inline ViewType KindOf(const ViewDescriptor& view) {
    return view.type == static_cast<uint8_t>(ViewType::Graphics) ? ViewType::Graphics
                                                                 : ViewType::Text;
}

// The View menu numbers its view commands from a base by view number, and the command numbers
// after the tenth belong to other menu items, so a template describes at most ten views,
// View0 to View9; sections beyond them are not read.
inline constexpr int16_t kMaxTemplateViews = 10;

// The template part of a document.
struct TemplateInfo {
    // The template as the layout file or Change Template named it: what a save writes back,
    // so that a relative name stays relative when the model's folder is copied or moved.
    std::string templateName = "DEFAULT.TML";
    // That name once searched: the file's absolute path when found, else the last candidate.
    std::string templateFileName = "DEFAULT.TML";
    std::string mainProgramFileName; // empty: the main input itself is the program
    // NoOfViews cut to 16 bits, then to kMaxTemplateViews. Zero or negative means no views;
    // otherwise `views` holds exactly viewCount descriptors.
    int16_t viewCount = 0;
    std::vector<ViewDescriptor> views;
    std::string descriptionText; // shown when the user picks a template
};

// Locates `t.templateFileName` with the fallback "DEFAULT.TML" and leaves there the full path
// found, or the last candidate tried. When found, reads the main program, the description
// and the views, replacing all previous ones, and returns true; a file found but unreadable
// reads as empty. When not found, returns false and changes nothing else.
bool ReadTemplate(TemplateInfo& t, const SearchContext& ctx);

// The program file of view n after LocateFile with the fallback "default0.prg": the full path
// when found, else the last candidate tried. A view number without a descriptor searches only
// for the fallback.
std::string ViewProgramFileName(const TemplateInfo& t, int16_t n, const SearchContext& ctx);

} // namespace tivane
