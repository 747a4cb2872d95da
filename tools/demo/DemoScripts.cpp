#include "DemoScripts.h"

namespace DemoScripts
{
const char* const kMain = R"LUA(-- The demo's main script: the hooks of the game and of its delegate, and the demo's clock.
gDemo = { ticks = 0, frames = 0 }

function DemoPrint(text)
    gConsole:Printf(0, 2, text)
end

-- The credits text of the string table, tag by tag, and who speaks the greeting.
function DemoReadStrings()
    local credits = UICreditsHelper:new()
    credits:Open("Demo/Credits")
    local tags = {}
    while not credits:IsEof() do
        if credits:IsTag() then table.insert(tags, "<" .. credits:GetTag() .. ">") end
        credits:SkipToken()
    end
    credits:delete()
    DemoPrint("Demo: the credits' tags are " .. table.concat(tags, " "))
    local greeting = gStringManager:FindStringByPath("Demo/Greeting")
    if greeting ~= nil then DemoPrint("Demo: the greeting's speaker is " .. greeting:GetSpeaker()) end
end

function Game:OnInit() DemoPrint("Demo: the game starts") DemoReadStrings() return true end
function Game:OnAfterInit() return true end
function Game:OnSwitchScene(name) DemoPrint("Demo: switching to " .. tostring(name)) return true end
function Game:OnSwitchSceneAfterNetEntitiesDestroyed() return true end
function Game:OnDuringSwitchScene() return true end
function Game:OnAfterSwitchScene() gGameDelegate:RunSceneScript() return true end
function Game:OnAfterFirstScene() return true end
function Game:OnAfterSwitchComplete() return true end
function Game:OnClose() DemoPrint("Demo: the game closes") return true end
function Game:OnAfterClose() return true end
function Game:OnQuit() return true end

function TessarineGameDelegate:OnBigFrameTick() gDemo.frames = gDemo.frames + 1 return true end
function TessarineGameDelegate:OnTickInput() return true end
function TessarineGameDelegate:OnSmoothTick()
    if gDemo.OnSmoothTick ~= nil then gDemo.OnSmoothTick() end
    return true
end
function TessarineGameDelegate:OnAfterTick() return true end
function TessarineGameDelegate:OnInputEvent(kind, value) return true end
function TessarineGameDelegate:CanSleep() return true end
function TessarineGameDelegate:OnQuit() return true end

-- Fifteen logic ticks make a second of game time.
function TessarineGameDelegate:OnTick()
    gDemo.ticks = gDemo.ticks + 1
    if gDemo.ticks % 15 == 0 then
        DemoPrint("Demo tick " .. gDemo.ticks .. " (" .. gDemo.frames .. " frames)")
    end
    if gDemo.OnTick ~= nil then gDemo.OnTick(gDemo.ticks) end
    return true
end

DemoPrint("Demo main script loaded")
)LUA";

const char* const kField = R"LUA(-- DemoField: marker boxes spawned from a template walk in circles in front of the camera, below
-- eye level; a sentry runs its behaviour tree;
-- sparks fly from a particle template; an effect of every element kind bursts;
-- a tone plays; after two seconds of game time the demo moves on to the outpost.
DemoPrint("Demo: DemoField script runs")
gDemo.markers = {}
for i = 1, 6 do
    local marker = gEntityManager:CreateEntity("templates/Demo/Marker", nil, Matrix.ONE, 0)
    if marker ~= nil then
        marker:SetName("Marker" .. i)
        table.insert(gDemo.markers, marker)
    end
end
DemoPrint("Demo: " .. #gDemo.markers .. " markers spawned")
gDemo.waver = tolua.cast(gEntityManager:CreateEntity("templates/Demo/Waver", nil, Matrix.ONE, 0), "MeshEntity")
if gDemo.waver ~= nil then
    local wave = AnimationParams:new_local()
    wave.Flags = ANIMFLAG_LOOP
    DemoPrint("Demo: the waver waves: " .. tostring(gDemo.waver:StartAnimation("root", "Wave", wave)))
end
gDemo.sentry = gEntityManager:CreateEntityInGame("templates/Demo/Sentry", nil, Matrix.ONE, 0)
DemoPrint("Demo: a sentry " .. (gDemo.sentry ~= nil and "patrols, driven by its behaviour tree" or "is missing"))
-- A UI screen over the scene, built from the demo's layout asset: a panel whose bar fills over two
-- seconds, above the title and a status line that shows a UI property.
gDemo.screen = UIScreen:new()
local panel = UIElement:CreateFromRecipe("templates/Demo/Screen", "Panel", gUIProperties)
gDemo.screen:AddChild(panel)
panel:FindElementByName("Bar"):ChangeSize(2.0, Vector(400, 20, 0, 0), 0, 0)
gUIProperties:SetText("DemoStatus", "Built from a recipe")
gDemo.screen:Show()
gGame:SetActiveUIScreen(gDemo.screen)
DemoPrint("Demo: a UI screen shows over the scene")
-- A menu page from its own layout asset, worked through the screen's pointer input once it has
-- been drawn: the tab opens the options panel, a press picks a list entry, a drag scrolls the list.
gDemo.menu = UIElement:CreateFromRecipe("templates/Demo/Menu", "Page", gUIProperties)
gDemo.screen:AddChild(gDemo.menu)
gDemo.list = tolua.cast(gDemo.menu:FindElementByName("List"), "UIList")
for i = 1, 6 do
    gDemo.list:AddListElement("Entry", false, true)
end
DemoPrint("Demo: the menu list holds " .. gDemo.list:GetEntryCount() .. " entries")
gDemo.Pointer = function(x, y)
    local point = Vector(0, 0, 0, 0)
    gDemo.screen:UIPointToScreenPoint(Vector(x, y, 0, 1), point)
    return point
end
gDemo.Tap = function(x, y)
    local point = gDemo.Pointer(x, y)
    gDemo.screen:OnPointerBegin(point, 1)
    gDemo.screen:OnPointerEnd(point, 1)
end
gDemo.OpenMenu = function()
    gDemo.Tap(940, 58)
    local options = gDemo.menu:FindElementByName("Options")
    DemoPrint("Demo: the menu tab " .. (options:IsVisible() and "opens the options panel" or "left the panel shut"))
end
gDemo.PickEntry = function()
    gDemo.Tap(1050, 158)
    DemoPrint("Demo: the second menu entry is " .. (gDemo.list:GetCurrent() == gDemo.list:GetEntry(1) and "selected" or "not selected"))
end
gDemo.DragList = function()
    gDemo.screen:OnPointerBegin(gDemo.Pointer(1050, 260), 1)
    for step = 1, 4 do
        gDemo.screen:OnPointerMove(gDemo.Pointer(1050, 260 - 20 * step), 1)
    end
    gDemo.screen:OnPointerEnd(gDemo.Pointer(1050, 180), 1)
    DemoPrint("Demo: the menu list was dragged and thrown")
end
gGame:ScheduleScriptCall("gDemo.OpenMenu()", 0.3, 0)
gGame:ScheduleScriptCall("gDemo.PickEntry()", 0.5, 0)
gGame:ScheduleScriptCall("gDemo.DragList()", 0.7, 0)
gDemo.sparks = gEntityManager:CreateEntityInGame("templates/Demo/Sparks", nil, Matrix.ONE, 0)
DemoPrint("Demo: sparks " .. (gDemo.sparks ~= nil and "fly from their particle template" or "are missing"))
gDemo.burst = gEntityManager:CreateEntityInGame("templates/Demo/Burst", nil, Matrix.ONE, 0)
DemoPrint("Demo: an effect " .. (gDemo.burst ~= nil and "bursts with a glow, sparks, a light, a mesh and a nested glow" or "is missing"))
gDemo.tone = gSoundEngine:PlaySystemSound("tone.ogg")
DemoPrint("Demo: playing tone.ogg as sound " .. tostring(gDemo.tone))

gDemo.OnTick = function(ticks)
    if gDemo.waver ~= nil and ticks % 5 == 0 then
        DemoPrint("Demo: the waver's hand is at x " .. tostring(gDemo.waver:GetGlobalHierarchyPositionVector(2).x))
    end
    for i, marker in ipairs(gDemo.markers) do
        local angle = (ticks / 15.0 + i) * 0.5
        marker:SetLocalPosition(Vector(math.cos(angle) * 4 * i, -4, 40 + math.sin(angle) * 4 * i, 1))
    end
end
gSequenceSystem:StartSequence("fanfare")
DemoPrint("Demo: the scene's fanfare sequence starts")
gGame:ScheduleScriptCall("gSequenceSystem:Log(0, 2)", 0.9, 0)
gGame:ScheduleScriptCall("DemoPrint('Demo: one second of game time')", 1.0, 0)
gGame:ScheduleScriptCall("gGame:SwitchScene('DemoOutpost')", 2.0, 0)
)LUA";

const char* const kOutpost = R"LUA(-- DemoOutpost: a beacon rises out of the ground while a walker goes round the wall of blocked
-- tiles across the middle of the scene's navigation grid; the demo ends after two more seconds.
DemoPrint("Demo: DemoOutpost script runs")
gDemo.markers = {}
gDemo.beacon = gEntityManager:CreateEntity("templates/Demo/Beacon", nil, Matrix.ONE, 0)
gDemo.walker = gEntityManager:CreateEntity("templates/Demo/Marker", nil, Matrix.ONE, 0)
gDemo.mover = VerySimpleCharacterController:Instance(gDemo.walker, 0.5)
gDemo.mover:SetPosition(Vector(-8, 0, 0, 1))
gDemo.mover:InitPathfinder()
gDemo.mover:SetPathMovementVelocity(16)
gDemo.mover:MoveToPoint(Vector(8, 0, 0, 1), 400)
DemoPrint("Demo: the walker sets out round the wall")
gDemo.OnSmoothTick = function()
    gDemo.mover:Tick()
    if gDemo.mover:IsIdle() and not gDemo.walkerArrived then
        gDemo.walkerArrived = true
        local p = gDemo.walker:GetGlobalPosition()
        DemoPrint(string.format("Demo: the walker arrived at %.1f, %.1f", p.x, p.z))
    end
end
gDemo.OnTick = function(ticks)
    if gDemo.beacon ~= nil then
        gDemo.beacon:SetLocalPosition(Vector(0, (ticks % 30) * 0.5, 0, 1))
    end
end
gGame:ScheduleScriptCall("DemoPrint('Demo: the demo ends') gDemo.OnSmoothTick = nil gGame:Quit()", 2.0, 0)
)LUA";
} // namespace DemoScripts
