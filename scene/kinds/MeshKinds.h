// Registration of the mesh kinds: the mesh template, its animation records and the mesh data and
// fake shadow classes it embeds. Called by RegisterSceneClasses; main thread.
#pragma once

void RegisterMeshKinds();
