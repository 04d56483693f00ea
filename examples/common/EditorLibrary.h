// An example library's two classes, the editor component and its property page, and what it
// registers. Each example library defines editorLibrary() once; ServerExports.cpp, built into
// every example library, turns it into the library's exports.
#pragma once

#include "ClassFactory.h"
#include "ComObject.h"
#include "ServerRegistration.h"

#include <QString>

namespace examples {

struct EditorLibrary {
    ClassEntry classes[2];
    ServerDescription description;
};

struct EditorDescription {
    QString componentDescription; // the component class key's default value
    DWORD kind;                   // "DORVO2_KEY_TYPE"
    QString pluginName;           // the page class is described as "<pluginName> Property Page"
    QString iconFileName;         // beside the library
};

template <class Component, class Page>
EditorLibrary makeEditorLibrary(const CLSID& component, const CLSID& page,
                                const EditorDescription& editor) {
    // Static objects of the library, like the factories a hand-written server would have.
    static ClassFactory componentFactory(&createObject<Component>);
    static ClassFactory pageFactory(&createObject<Page>);
    return {{{&component, &componentFactory}, {&page, &pageFactory}},
            {&componentFactory,
             {{&component, editor.componentDescription},
              {&page, editor.pluginName + QStringLiteral(" Property Page")}},
             {&component, editor.kind, editor.pluginName, editor.iconFileName}}};
}

// Defined by each example library.
const EditorLibrary& editorLibrary();

} // namespace examples
