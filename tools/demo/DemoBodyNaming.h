// Names for the template bodies the demo's data maker builds in memory. Main thread.
#pragma once

#include "renderer/resources/ResourcePool.h"

#include <string>

// The bodies never enter a pool; each takes the name a template pool would give it ("templates/"
// and its path), so that the log line of its removal says which template it was.
class DemoBodyNaming : public ResourcePool
{
public:
    static void Name(Resource& body, const std::string& path) { AssignName(&body, ("templates/" + path).c_str()); }
};
