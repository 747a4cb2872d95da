// Template stubs made in memory inside the template manager's folder tree, so that paths find them
// as they find scanned ones (a stub in no folder is found by GUID only). Main thread.
#pragma once

#include "core/SimpleGUID.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateFolder.h"
#include "scene/templates/TemplateManager.h"

#include <cstring>
#include <string>

// Registers a stub at `path` ("folder/.../name"), the folders made as needed, bound to `bound` when
// given (the stub then owns it). Null when the GUID is taken.
inline EntityTemplateStub* RegisterStubAtPath(const char* path, const SimpleGUID& guid, EntityTemplate* bound)
{
    if (gTemplateManager.GetRootFolder() == nullptr)
        gTemplateManager.LoadTemplateFolder();
    TemplateFolder* folder = gTemplateManager.GetRootFolder();
    const std::string text = path;
    size_t start = 0;
    for (size_t slash = text.find('/'); slash != std::string::npos; slash = text.find('/', start))
    {
        const std::string name = text.substr(start, slash - start);
        TemplateFolder* next = folder->FindSubfolder(name.c_str(), name.size());
        folder = next != nullptr ? next : folder->AddSubfolder(new TemplateFolder(name.c_str(), folder));
        start = slash + 1;
    }
    auto* stub = new EntityTemplateStub;
    stub->SetFileName(text.substr(start).c_str());
    stub->SetGUID(guid);
    if (!gTemplateManager.RegisterGUID(stub))
    {
        delete stub;
        return nullptr;
    }
    folder->AddStub(stub, true);
    if (bound != nullptr)
        stub->SetTemplate(bound);
    return stub;
}
