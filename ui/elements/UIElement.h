// UIElement: the base of every UI widget, one node of a retained 2D tree used by two threads.
//
// The main thread owns the tree as scripts and input see it: parent and children, name, id, user
// flags (main copy), state flags, listeners, default action flags. The render thread owns what
// drawing reads: its own copy of the tree links, the transform, colour, render flags and the
// running actions of four channels. The main thread never writes a render-side field: every setter
// queues a UI command (UICommand.h) that the render thread carries out in stream order, and no
// main-thread getter reads a render-side value (GetChildrenBounds asks the render thread).
//
// Life: made with new on the main thread; Release unlinks it on the main side, gives it OnRemoved
// and queues command 0, on which the render thread deletes it together with its render children.
// An element deleted by an action is handed back to the main thread (UIDeferredDeletion.h) so that
// its Release cleanup runs before it dies.
//
// Threads: the main-side operations on the main thread; the Render* accessors, the executor, the
// action channels and the draw-walk fields on the render thread (any thread while no render thread
// runs). Elements may only be deleted directly (not through Release) while no render thread runs.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "core/time/Time.h"
#include "core/reflection/RTTIClass.h"
#include "engine/scripting/LuaNamedBaseClass.h"
#include "ui/elements/UIElementFlags.h"
#include "ui/elements/UIEvent.h"
#include "ui/elements/UIPropertyCallbackListener.h"

#include <cstdint>

class CommandRingBuffer;
class EntityTemplate;
class NorvexRenderer;
class UIAction;
class UIElementRecipe;
class UIProperties;

// One node of the UI tree.
class UIElement : public LuaNamedBaseClass, public UIPropertyCallbackListener
{
    RTTI_DECLARE_CLASS(UIElement, RTTIPolyBaseClass)

public:
    UIElement();
    // Render side (or direct deletion while no render thread runs): see the file comment.
    ~UIElement() override;
    UIElement(const UIElement&) = delete;
    UIElement& operator=(const UIElement&) = delete;

    // ---- Main thread: life and tree ----
    // Unlinks the subtree on the main side, cleans up and queues the render-side deletion. The
    // caller must not touch the element afterwards; a second call does nothing.
    virtual void Release();
    bool IsReleased() const { return m_released; }
    void AddChild(UIElement* child);
    void RemoveChild(UIElement* child);
    void DeleteChildren();
    void RemoveAllChildren();
    UIElement* GetParent() const { return m_parent; }
    UIElement* GetFirstChild() const { return m_firstChild; }
    UIElement* GetLastChild() const { return m_lastChild; }
    UIElement* GetNextSibling() const { return m_nextSibling; }
    UIElement* GetPreviousSibling() const { return m_previousSibling; }
    UIElement* GetTopParent();
    bool IsDescendantOf(const UIElement* other) const;
    UIElement* FindElementByName(const NameString& name);
    UIElement* FindElementByName(const char* name) { return FindElementByName(NameString(name)); }
    void CollectElementsByName(const NameString& name, Dynarray<UIElement*>& out);
    UIElement* FindElementById(uint32_t id);
    bool HasElementWithId(uint32_t id) { return FindElementById(id) != nullptr; }
    UIElement* FindElementByFlag(uint32_t value, uint32_t mask);
    uint32_t GetId() const { return m_id; }
    const char* GetName() const { return m_name.CStr(); }
    const NameString& GetNameString() const { return m_name; }
    void SetName(const char* name) { m_name.Set(name); }
    uint32_t GetUserFlags() const { return m_userFlags; }
    uint32_t GetDragFlags() const { return m_dragFlags; }
    void SetDragFlags(uint32_t flags) { m_dragFlags = flags; }
    uint32_t GetDefaultActionFlags() const { return m_defaultActionFlags; }
    void SetDefaultActionFlags(uint32_t flags, bool recursive);
    bool IsHierarchyFocusable() const;
    // Asks the render thread (a synchronous submit) for the box of the render-side descendants
    // whose render flags share no bit with mask; without descendants min is +max float, max -max.
    void GetChildrenBounds(Vector& min, Vector& max, uint32_t mask);

    // Kind tests and kind behaviour.
    virtual bool IsUIPicture() const { return false; }
    virtual bool IsUITextBase() const { return false; }
    virtual bool IsUIText() const { return false; }
    virtual bool IsUITextInput() const { return false; }
    virtual bool IsUIUniTextInput() const { return false; }
    virtual bool IsUITextBox() const { return false; }
    virtual bool IsUIList() const { return false; }
    virtual bool IsUIRoundList() const { return false; }
    virtual bool IsUIButton() const { return false; }
    virtual bool IsUITemplateView() const { return false; }
    virtual bool IsUIScreen() const { return false; }
    virtual bool IsUIPanel() const { return false; }
    virtual bool IsUIRadioContainer() const { return false; }
    virtual bool IsUIPage() const { return false; }
    virtual bool IsUIScrollPane() const { return false; }
    virtual bool IsUILayout() const { return false; }
    virtual bool FollowsParentEnableState() const { return false; }
    virtual bool IsPointerSelectable() const { return (m_userFlags & UIFLAG_FOCUSABLEWITHMOUSE) != 0; }
    virtual bool WantsDrag() const { return false; }
    // The pointer moved while the element drags (point in 0..1 of the window).
    virtual void OnDrag(const Vector& point) { (void)point; }
    // After creation, with the build's flags (0 for an element made in code): enters the id map when
    // pointer-selectable. Kinds set themselves up from their recipe here.
    virtual void OnCreated(uint32_t creationFlags);
    // Cleanup when unlinked by Release or RemoveAllChildren.
    virtual void OnRemoved();
    // Whether a build from recipes makes the element's child recipes under it (lists decide).
    virtual bool AcceptsRecipeChildren(uint32_t buildFlags) const
    {
        (void)buildFlags;
        return true;
    }

    // ---- Main thread: building from layout assets (ui/recipes/UIRecipeBuild.cpp) ----
    // The named sub-recipe of the layout asset (the whole layout under a plain element for an empty
    // name), its text elements bound to `properties`; null, with the reason logged, when the asset
    // is missing or of another kind or the sub-recipe builds nothing.
    static UIElement* CreateFromRecipe(const char* templateName, const char* subRecipeName, UIProperties* properties);
    // A sub-recipe of the layout asset the element was built from; null when it was built from none.
    static UIElement* CreateElementFromSubRecipe(UIElement* element, const char* name);

    // ---- Main thread: setters that queue UI commands ----
    void RaiseFlag(uint32_t mask, bool recursive = false);
    void ClearFlag(uint32_t mask, bool recursive = false);
    void SetWindowAlignment(uint32_t value);
    void SetAspectScaling(uint32_t value);
    void SetPosition(const Vector& position);
    void SetPositionXYZ(float x, float y, float z);
    void SetPositionWithMask(float x, float y, float z, bool maskX, bool maskY, bool maskZ);
    void SetAnchor(const Vector& anchor);
    void SetAnchorXYZ(float x, float y, float z);
    void SetRotation(const Vector& rotation);
    void SetRotationXYZ(float x, float y, float z);
    void SetRotationZ(float degrees);
    void SetScale(const Vector& scale);
    void SetScaleXYZ(float x, float y, float z);
    void SetScaleUniform(float scale);
    void SetSize(const Vector& size);
    void SetSizeXY(float width, float height);
    // After SetSize has queued a new size: kinds that measure their content against their own size
    // ask for a new measure here.
    virtual void OnRectChanged() {}
    void SetSelectionFrame(const Vector& frame);
    // Gamma colours: red, green and blue go out raised to 2.2; the Linear forms go out as given.
    void SetColor(const Vector& color);
    void SetColorRGBA(float r, float g, float b, float a);
    void SetLinearColor(const Vector& color);
    void SetLinearColorRGBA(float r, float g, float b, float a);
    void SetBlendMode(uint32_t mode);
    void SetColorMode(uint32_t mode);
    void SetOutline(uint32_t kind);
    void SetTag(const char* tag);
    void SetExtraParamVector(const Vector& value);
    void SetModalRenderFlag(uint32_t mask);
    void ClearModalRenderFlag(uint32_t mask);
    // Entity tracking (sent by the screen): the clip-space point, a scale and UIENTITYTRACKING_* flags.
    void SetTrackedPosition(const Vector& point, float value, uint32_t flags);
    // Shapes the element as a connection bar between two elements (null ends send nothing).
    void MorphIntoConnectionBetween(UIElement* a, UIElement* b);

    // ---- Main thread: states and events (UIElementEvents.cpp) ----
    uint32_t GetStateFlags() const { return m_stateFlags; }
    bool IsVisibleFlag() const { return (m_stateFlags & UISTATE_VISIBLE) != 0; }
    bool IsEnabledFlag() const { return (m_stateFlags & UISTATE_ENABLED) != 0; }
    bool IsHighlightedFlag() const { return (m_stateFlags & UISTATE_HIGHLIGHTED) != 0; }
    bool IsPressedFlag() const { return (m_stateFlags & UISTATE_PRESSED) != 0; }
    bool IsTriStateFlag() const { return (m_stateFlags & UISTATE_TRISTATE) != 0; }
    bool IsFocusedFlag() const { return (m_stateFlags & UISTATE_FOCUSED) != 0; }
    uint32_t IsModalFlag() const;
    bool IsSelectedFlag() const;
    bool IsFlag(uint32_t mask) const { return (m_stateFlags & mask) == mask; }
    virtual bool IsVisible() const;
    virtual uint32_t IsModal() const;
    virtual bool IsEnabled() const;
    virtual bool IsHighlighted() const;
    virtual bool IsPressed() const;
    virtual bool IsSelected() const;
    virtual bool IsFocused() const { return IsFocusedFlag(); }
    virtual bool IsTriState() const;
    void SetVisible(bool visible, bool instant, bool force);
    void Show() { SetVisible(true, true, true); }
    void Hide() { SetVisible(false, true, true); }
    void SetEnable(bool enable, bool instant);
    void SetSelect(bool select, bool instant, uint32_t pointer);
    void SetPress(bool press, bool instant, uint32_t pointer);
    void SetHighlight(bool highlight, bool instant, uint32_t pointer);
    void SetFocus(bool focus, bool instant);
    void SetTriState(bool on);
    void SetModal(uint32_t mode);
    // Records a visibility the render side has already put on screen (an action it started on its
    // own): only the visible bit changes; no command, reaction or event follows.
    void SyncVisibleFlag(bool visible);
    virtual bool ApplyShow(bool instant);
    virtual bool ApplyHide(bool instant);
    // Seconds a non-instant hide waits: the recipe's hide behaviour, then the visible children's hide times.
    float GetHideDuration() const;
    bool ConsumeMouseDown(uint32_t pointer);
    bool ConsumeMouseUp(uint32_t pointer);
    bool ConsumeMouseOverBegin();
    bool ConsumeMouseOverEnd();
    bool DispatchEvent(UIEventRecord& record);
    bool SendEvent(uint32_t type, uint32_t argument, uint32_t pointer);
    void AddEventListener(SafePointerRoot* target, UIEventCallback callback, uint32_t type, uint32_t value,
                          uint8_t flags);
    int32_t GetListenerCount() const { return m_listeners.Count(); }

    // The 18 forwarders (event index 0 to 17) and their default handlers. A forwarder of an element
    // built from a recipe first plays the recipe's sounds for the event and runs its event recipe in
    // place of the default handler (not for instant changes).
    bool OnShow(bool instant) { return RunEvent(0, instant, &UIElement::DefaultOnShow); }
    bool OnHide(bool instant) { return RunEvent(1, instant, &UIElement::DefaultOnHide); }
    bool OnEnable(bool instant) { return RunEvent(2, instant, &UIElement::DefaultOnEnable); }
    bool OnSelect(bool instant) { return RunEvent(3, instant, &UIElement::DefaultOnSelect); }
    bool OnUnselect(bool instant) { return RunEvent(4, instant, &UIElement::DefaultOnUnselect); }
    bool OnHighlight(bool instant) { return RunEvent(5, instant, &UIElement::DefaultOnHighlight); }
    bool OnSHighlight(bool instant) { return RunEvent(6, instant, &UIElement::DefaultOnSHighlight); }
    bool OnPress(bool instant) { return RunEvent(7, instant, &UIElement::DefaultOnPress); }
    bool OnUnPress(bool instant) { return RunEvent(8, instant, &UIElement::DefaultOnUnPress); }
    bool OnFocus(bool instant) { return RunEvent(9, instant, &UIElement::DefaultOnFocus); }
    bool OnDisable(bool instant) { return RunEvent(10, instant, &UIElement::DefaultOnDisable); }
    bool OnDSelect(bool instant) { return RunEvent(11, instant, &UIElement::DefaultOnDSelect); }
    bool OnDUnselect(bool instant) { return RunEvent(12, instant, &UIElement::DefaultOnDUnselect); }
    bool OnDHighlight(bool instant) { return RunEvent(13, instant, &UIElement::DefaultOnDHighlight); }
    bool OnDSHighlight(bool instant) { return RunEvent(14, instant, &UIElement::DefaultOnDSHighlight); }
    bool OnDPress(bool instant) { return RunEvent(15, instant, &UIElement::DefaultOnDPress); }
    bool OnDUnPress(bool instant) { return RunEvent(16, instant, &UIElement::DefaultOnDUnPress); }
    bool OnDFocus(bool instant) { return RunEvent(17, instant, &UIElement::DefaultOnDFocus); }
    virtual bool DefaultOnShow(bool instant);
    virtual bool DefaultOnHide(bool instant);
    virtual bool DefaultOnEnable(bool instant);
    virtual bool DefaultOnSelect(bool instant);
    virtual bool DefaultOnUnselect(bool instant);
    virtual bool DefaultOnHighlight(bool instant);
    virtual bool DefaultOnSHighlight(bool instant);
    virtual bool DefaultOnPress(bool instant);
    virtual bool DefaultOnUnPress(bool instant);
    virtual bool DefaultOnFocus(bool instant);
    virtual bool DefaultOnDisable(bool instant);
    virtual bool DefaultOnDSelect(bool instant);
    virtual bool DefaultOnDUnselect(bool instant);
    virtual bool DefaultOnDHighlight(bool instant);
    virtual bool DefaultOnDSHighlight(bool instant);
    virtual bool DefaultOnDPress(bool instant);
    virtual bool DefaultOnDUnPress(bool instant);
    virtual bool DefaultOnDFocus(bool instant);
    virtual void PreviewEvent(UIEventRecord& record);
    virtual void PostPreviewEvent(UIEventRecord& record);
    // Whether the record goes on into the child's own children.
    virtual bool FilterChildEvent(UIElement& child, UIEventRecord& record);
    virtual void PostFilterChildEvent(UIElement& child, UIEventRecord& record);
    virtual bool NotifyScreen(UIEventRecord& record);
    virtual bool HandleEvent(UIEventRecord& record);

    // Whether the element is inside a visibility change of its own (nested ones are dropped).
    bool IsInVisibilityChange() const { return m_visibilityGuard; }

    // ---- Main thread: recipes (ui/elements/UIElementRecipes.cpp) ----
    // Stores the recipe the element was built from (not owned) and the template holding it: the
    // element keeps one reference on the template while set and drops the old one.
    void SetRecipe(UIElementRecipe* recipe, EntityTemplate* recipeTemplate);
    UIElementRecipe* GetRecipe() const { return m_recipe; }
    EntityTemplate* GetRecipeTemplate() const { return m_recipeTemplate; }
    // The recipe's named preset (or its own state, under the recipe's rules) over `time`; with
    // `recursive` also every child that does not follow its parent's enable state. False without a
    // recipe; else whether any application happened.
    bool ApplyRecipePreset(const char* name, bool recursive, float time, uint32_t flags, uint32_t channel,
                           bool clearChannel, bool allProperties);
    // The recipe's "Prefab", or null without a recipe.
    const char* GetRecipePrefab() const;
    // ORs resource flags into what the element itself holds (its textures, font or template);
    // nothing in the base.
    virtual void SetResourceFlags(uint32_t flags) { (void)flags; }
    // The flags to the recipe template's resources, to the element's own and to every child's.
    void SetResourceFlagsRecursive(uint32_t flags);
    // Marks every resource of the subtree for release.
    void ReleaseResourcesRecursive() { SetResourceFlagsRecursive(kReleaseResourceFlags); }
    static constexpr uint32_t kReleaseResourceFlags = 768;
    // A value of the recipe (or of its preset of that name) by key, only when the key holds a bool,
    // a Vector or an HDRColor (given as a linear colour); else false and `out` unchanged.
    bool GetRecipeBoolProperty(const char* name, const char* preset) const;
    bool LoadRecipeVectorProperty(Vector& out, const char* name, const char* preset) const;
    bool LoadRecipeLinearColorProperty(Vector& out, const char* name, const char* preset) const;

    // ---- Main thread: actions (ui/widgets/UIElementActions.cpp) ----
    void Wait(float time, uint32_t flags, uint32_t channel);
    void Move(float time, const Vector& position, uint32_t flags, uint32_t channel);
    void Move2(float time, float x, float y, uint32_t flags, uint32_t channel);
    void Move3(float time, float x, float y, float z, uint32_t flags, uint32_t channel);
    void ChangeSize(float time, const Vector& size, uint32_t flags, uint32_t channel);
    void Rotate(float time, const Vector& rotation, uint32_t flags, uint32_t channel);
    void RotateAngle(float time, float angle, uint32_t flags, uint32_t channel);
    void Rotate3(float time, float x, float y, float z, uint32_t flags, uint32_t channel);
    void Scale(float time, const Vector& scale, uint32_t flags, uint32_t channel);
    void ScaleUniform(float time, float scale, uint32_t flags, uint32_t channel);
    void Scale3(float time, float x, float y, float z, uint32_t flags, uint32_t channel);
    void ChangeColor(float time, const Vector& color, uint32_t flags, uint32_t channel);
    void ChangeColorRGBA(float time, float r, float g, float b, float a, uint32_t flags, uint32_t channel);
    void ChangeLinearColor(float time, const Vector& color, uint32_t flags, uint32_t channel);
    void ChangeLinearColorRGBA(float time, float r, float g, float b, float a, uint32_t flags, uint32_t channel);
    void BlendOutAndHide(float time, uint32_t flags, uint32_t channel);
    void ShowAndBlendIn(float time, uint32_t flags, uint32_t channel);
    void Delete(uint32_t flags, uint32_t channel);
    void RemoveAllActions(int32_t channel);
    // Hands a new action (null after an allocation failure) to the render side: command 25.
    void AddAction(UIAction* action);

    // ---- Render side ----
    // Executes the commands of the UIElement family (0 to 27).
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    void ExecuteCommand(uint32_t commandId, CommandRingBuffer& reader);
    const NameString& GetRenderTag() const { return m_tag; }
    uint32_t GetRenderFlags() const { return m_renderFlags; }
    uint32_t GetRenderState() const { return m_renderState; }
    void SetRenderState(uint32_t state) { m_renderState = state; }
    uint32_t GetWindowAlignment() const { return m_windowAlignment; }
    uint32_t GetAspectScaling() const { return m_aspectScaling; }
    uint32_t GetBlendMode() const { return m_blendMode; }
    uint32_t GetColorMode() const { return m_colorMode; }
    uint32_t GetOutlineMask() const { return m_outlineMask; }
    const Matrix& GetLocalMatrix() const { return m_localMatrix; }
    const Vector& GetRectMin() const { return m_rectMin; }
    const Vector& GetRectMax() const { return m_rectMax; }
    const Vector& GetRenderPosition() const { return m_position; }
    const Vector& GetRenderAnchor() const { return m_anchor; }
    const Vector& GetRenderRotation() const { return m_rotation; }
    const Vector& GetRenderScale() const { return m_scale; }
    const Vector& GetRenderSize() const { return m_size; }
    const Vector& GetSelectionFrame() const { return m_selectionFrame; }
    const Vector& GetRenderColor() const { return m_color; }
    const Vector& GetExtraParamVector() const { return m_extraParam; }
    bool IsMirrored() const { return m_mirrored; }
    UIElement* GetRenderParent() const { return m_renderParent; }
    UIElement* GetRenderFirstChild() const { return m_renderFirstChild; }
    UIElement* GetRenderNextSibling() const { return m_renderNextSibling; }
    bool IsRenderHidden() const { return (m_renderFlags & UIFLAG_HIDDEN) != 0; }
    // Setters of the transform rebuild the local matrix.
    void SetRenderPosition(const Vector& position);
    void SetRenderRotation(const Vector& rotation);
    void SetRenderScale(const Vector& scale);
    void SetRenderColor(const Vector& color) { m_color = color; }
    // The translation the element's rectangle is drawn at (the negated form SetAnchor sends).
    void SetRenderAnchor(const Vector& anchor) { m_anchor = anchor; }
    // The local rectangle from a size (0,0)-(size); kinds that lay out by size override.
    virtual void SetRect(const Vector& size);
    // The local 3D matrix of kinds that draw 3D content under it (null for the others); the local
    // rotate-with-offset action turns it.
    virtual Matrix* GetRenderLocal3DMatrix() { return nullptr; }
    void SetRenderFlags(uint32_t bits, bool recursive);
    void ClearRenderFlags(uint32_t bits, bool recursive);
    void AddRenderChild(UIElement* child);
    void DetachFromRenderParent();
    void DeleteAllChildren();
    void ComputeChildrenBounds(Vector& min, Vector& max, uint32_t mask) const;
    // Action channels (ui/widgets/UIElementActions.cpp).
    void AddActionToChannel(UIAction* action);
    void RemoveActionsOnChannel(int32_t channel);
    void UpdateActions();
    UIAction* GetFirstAction(uint32_t channel) const { return m_actionHead[channel]; }
    UIAction*& ActionHead(uint32_t channel) { return m_actionHead[channel]; }
    UIAction*& ActionTail(uint32_t channel) { return m_actionTail[channel]; }
    // Whether this element or a render ancestor is waiting for deletion.
    bool IsRenderDeletedInHierarchy() const;
    // ---- Render side: the draw walk (ui/render/UIElementRender.cpp) ----
    // Walks the element and its subtree: runs its actions, places, colours, culls, clips and draws
    // it, then its children.
    void RenderTree(const Matrix& parentMatrix, const Vector& parentColor, bool mirrored, const Vector* constants,
                    uint32_t alignmentBits);
    // Draws the element itself under the draw matrix; the base queues one quad of its size.
    virtual void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants);
    // Draws the element rectangle directly (not batched) with one of the UI shader pairs.
    void DrawScreenQuad(uint32_t shaderIndex, const Matrix& matrix, const Vector& color, bool mirrored,
                        const Vector* uvConstants, const Vector* uvOriginConstants, const Vector* pixelConstant);
    // The element rectangle in element space: (0,0), (w,0), (w,h), (0,h), each with w = 1.
    virtual void GetScreenRect(Vector corners[4]) const;
    // Hands the element's screen quad to the screen whose pass runs (when it records).
    void RecordSelectionCandidate(const Matrix& drawMatrix);
    // Command 26: places the element at a clip-space point (entity tracking).
    void TrackWorldPoint(const Vector& point, float scale, uint32_t options);
    // Command 27: shapes the element as a bar from a's position to b's.
    void MorphIntoConnection(const UIElement* a, const UIElement* b);

    // Main thread, once per frame: releases the element an action deleted, when the render thread
    // has published one (an element released before then gets its deletion command again).
    static void FinishDeferredDeletion();

    // ---- Globals ----
    static uint32_t GetConstructedCount();
    // Elements made and not yet destroyed; any thread.
    static uint32_t GetLiveCount();
    // Incremented by every render-side destruction.
    static uint32_t GetUIChangeCounter();
    // The next id to be given (ids start at 1 and are never reused).
    static uint32_t PeekNextId();

private:
    void LinkMainChild(UIElement* child);
    void UnlinkFromMainParent();
    void UpdateLocalMatrix();
    void SendDeletion();
    void SendVector(uint32_t commandId, const Vector& value);
    void SendU32(uint32_t commandId, uint32_t value);
    void FireListeners(uint32_t type, UIEventRecord& record, bool& consumed);
    bool ChildPass(UIEventRecord& record);
    void PostPreviewFromRoot(UIEventRecord& record);
    bool ReactToRemainingState(bool instant);
    bool RunEvent(uint32_t eventId, bool instant, bool (UIElement::*defaultHandler)(bool));

    // Render side, in the order the draw walk reads them.
    NameString m_tag;
    uint32_t m_renderFlags = 0;
    uint32_t m_renderState = 0;
    uint32_t m_windowAlignment = 0;
    uint32_t m_aspectScaling = 0;
    uint32_t m_blendMode = BLEND_ALPHA;
    uint32_t m_colorMode = UICOLOR_MULTIPLYBYPARENTALPHA;
    uint32_t m_outlineMask = 0;
    Matrix m_localMatrix = Matrix::ONE;
    Vector m_rectMin{0.0f, 0.0f, 0.0f, 1.0f};
    Vector m_rectMax{64.0f, 64.0f, 0.0f, 1.0f};
    Vector m_position{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_anchor{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_rotation{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_scale{1.0f, 1.0f, 1.0f, 0.0f};
    Vector m_size{64.0f, 64.0f, 0.0f, 0.0f};
    Vector m_selectionFrame{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_color{1.0f, 1.0f, 1.0f, 1.0f};
    Vector m_extraParam{0.0f, 0.0f, 0.0f, 0.0f};
    uint32_t m_trackedKey = 0;
    UIElement* m_renderFirstChild = nullptr;
    UIElement* m_renderLastChild = nullptr;
    UIElement* m_renderParent = nullptr;
    UIElement* m_renderPreviousSibling = nullptr;
    UIElement* m_renderNextSibling = nullptr;
    UIAction* m_actionHead[kUIActionChannelCount] = {};
    UIAction* m_actionTail[kUIActionChannelCount] = {};
    bool m_mirrored = false;

    // Main side.
    NameString m_name;
    uint32_t m_userFlags = 0;
    uint32_t m_dragFlags = 0;
    uint32_t m_id;
    uint32_t m_defaultActionFlags = 0;
    UIElement* m_firstChild = nullptr;
    UIElement* m_lastChild = nullptr;
    UIElement* m_parent = nullptr;
    UIElement* m_previousSibling = nullptr;
    UIElement* m_nextSibling = nullptr;
    Time m_lastClickTime = gZeroTime;
    DynarraySafe<UIEventListener> m_listeners;
    UIElementRecipe* m_recipe = nullptr;
    EntityTemplate* m_recipeTemplate = nullptr;
    uint32_t m_stateFlags = UISTATE_DEFAULT;
    bool m_visibilityGuard = false;
    bool m_released = false;
    bool m_mainRemoved = false; // OnRemoved has run: the main side is clean
};

// The memory guard: while on, every new element is attached to a bare guard root, so forgotten
// elements stay reachable. Main thread.
void EnableUIMemoryGuard();
void UIMemoryGuardReportElement(UIElement* element);
void DisableUIMemoryGuard();
UIElement* GetUIMemoryGuardRoot();
