#pragma once
// The graphics view: programs draw in world coordinates; the view converts, clips and
// records items in its draw list, and asks its window to repaint every few items. The
// window replays the list (render/); this class never paints.

#include <optional>
#include <string>
#include <vector>

#include "graphmodel.h"
#include "viewbase.h"

namespace tivane {

class CTivaneGraph;

// Follows a graphics view's update runs: a movie recorder takes a frame after each.
class GraphObserver {
public:
    // After every successful run of the view's update program.
    virtual void ViewUpdated() = 0;

protected:
    ~GraphObserver() = default;
};

// An observer's registration with a view; it ends when either side goes. Its destructor
// unregisters, and a view that goes first sets View() of every registration to null, so an
// observer never reaches a view that is gone.
class GraphObservation {
public:
    GraphObservation(CTivaneGraph& view, GraphObserver& observer);
    ~GraphObservation();
    GraphObservation(const GraphObservation&) = delete;
    GraphObservation& operator=(const GraphObservation&) = delete;

    CTivaneGraph* View() const { return m_view; }

private:
    friend class CTivaneGraph;
    CTivaneGraph* m_view;
    GraphObserver& m_observer;
};

class CTivaneGraph final : public CViewBase {
public:
    CTivaneGraph(ViewDocument& doc, int16_t viewIndex);
    ~CTivaneGraph() override;

    ViewKind Kind() const override { return ViewKind::Graphics; }

    // Drawing: each converts once and appends at most two items. A draw list that reaches
    // the memory budget fails the program with "Not enough memory".
    void OutputText(std::string_view text) override;
    void DrawMoveTo(double x, double y) override;
    void DrawLineTo(double x, double y) override;
    void DrawMoveRel(double dx, double dy) override;
    void DrawLineRel(double dx, double dy) override;
    void SetForeColor(int32_t r, int32_t g, int32_t b) override;
    void SetBackColor(int32_t r, int32_t g, int32_t b) override;
    void SetPenSize(double width) override;
    void SetUpdateFrequency(int32_t n) override;
    void SetWorldWindow(double x1, double y1, double x2, double y2) override;
    uint32_t SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    double GetWindowValue(int32_t index) override;
    void ChangeFont(std::string_view face, double size, int32_t style) override;
    void ClearView() override;
    // Repaints what is new, then lets the window draw it.
    void UpdateNow() override;
    // Clear All: an empty list, and the window redrawn from scratch.
    void EraseContents();

    bool StartView() override;
    bool RunUpdateProgram() override;
    void BringUpToDate() override { UpdateNow(); }
    void ClearAllContents() override { EraseContents(); }
    void SavePlacement(IniFile& layout, const std::string& layoutPath, const std::string& section,
                       int32_t i, SaveTransaction& save) override;
    void LoadPlacement(const IniFile& layout, const std::string& layoutPath,
                       const std::string& section, int32_t n) override;
    // The picture export: a save dialog in the document's folder with the picture formats as
    // filters; a name whose ending no format has is refused; then the question before
    // replacing a file and "width,height" (the window's size proposed), each checked when
    // given; the installed PictureWriter writes the whole picture in the format of the name's
    // ending, and a message box names the format, the file and, on failure, the reason.
    void SaveContents() override;

    // The one truth of what the view shows. Its targets (the window, a printer page, a picture
    // file, a movie) each keep their own replay position against its generation.
    const GraphModel& Model() const { return m_model; }
    const DrawList& List() const { return m_model.List(); }
    uint16_t UpdateMask() const { return m_updateMask; }

private:
    friend class GraphObservation;

    class Recorder final : public GraphModel {
    public:
        explicit Recorder(CTivaneGraph& view) : m_view(view) {}

    protected:
        void ItemAdded() override { m_view.ItemAdded(); }

    private:
        CTivaneGraph& m_view;
    };

    void ItemAdded();
    // Tells the window that the picture changed and lets it paint (a message pass).
    void ShowChanges();
    // A draw list that refused an item fails the program that drew.
    void Check(bool recorded);
    void AfterComputeExpression() override;

    Recorder m_model{*this};
    uint16_t m_itemCounter = 0;
    uint16_t m_updateMask = 15;
    // The list changed since the window was last told; the window itself knows what it has
    // painted.
    bool m_unshown = true;
    std::vector<GraphObservation*> m_observations;
    // The bytes of a contents file that could not be read: kept and written back by saves
    // until the picture changes, so a save never destroys a picture the view could not load.
    std::optional<std::string> m_damagedContents;
};

} // namespace tivane
