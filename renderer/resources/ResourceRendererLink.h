// What the resource code needs of the renderer: handing over the written render commands before a
// thread waits on work that may need the render thread. Any thread; a no-op while no renderer runs.
#pragma once

// sync: wait until the render thread has executed everything written so far.
void SubmitRendererCommands(bool sync);
