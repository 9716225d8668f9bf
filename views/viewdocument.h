#pragma once
// What a view may ask of its document: the dialog seam, the file search, the template, the
// main interpreter, the document's runs and its modified flag. The document implements it;
// the views never see the rest of the document, so they do not depend on its header.

#include <functional>
#include <string>

#include "filesearch.h"
#include "hosts.h"
#include "templatefile.h"
#include "ui.h"

namespace tivane {

class CInterpreter;

class ViewDocument : public DocumentHost {
public:
    virtual Ui& ui() const = 0;
    virtual const SearchContext& Search() const = 0;
    // The template as read: view titles, kinds and program files.
    virtual const TemplateInfo& Template() const = 0;
    // The document's file; "" for one never saved.
    virtual const std::string& PathName() const = 0;
    // The file name of the document's path, as captions show it.
    virtual std::string Title() const = 0;
    virtual void SetModifiedFlag(bool modified) = 0;

    // The main interpreter, the parent of every view's; when there is none yet it is made
    // and its default program run first.
    virtual CInterpreter& MainInterpreter() = 0;
    // Runs the default program of an interpreter just made for this document, with the
    // document busy: the program may pump messages and start the views.
    virtual void RunDefaultProgramOf(CInterpreter& in) = 0;

    // True while the main program or a Compute Expression of this document runs.
    virtual bool Running() const = 0;
    // Compute Expression in the main interpreter, and in a view's interpreter (`afterValue`
    // runs once a value was shown).
    virtual void ComputeExpression() = 0;
    virtual void ComputeIn(CInterpreter& in, const std::function<void()>& afterValue) = 0;
    // Shows the report of the interpreter's current error, if any, with the stop icon.
    virtual void ReportFailure(CInterpreter& in) = 0;
};

} // namespace tivane
