#include "DemoScripts.h"

namespace DemoScripts
{
const char* const kMain = R"LUA(-- The demo's main script: the hooks of the game and of its delegate, and the demo's clock.
gDemo = { ticks = 0, frames = 0, ground = -6 }

-- Spawns a template's entity standing on the ground (the top of the scenes' ground box) at (x, z).
function DemoSpawn(path, x, z, inGame)
    local at = Matrix:new_local()
    at:LoadTranslation(x, gDemo.ground, z)
    if inGame then return gEntityManager:CreateEntityInGame(path, nil, at, 0) end
    return gEntityManager:CreateEntity(path, nil, at, 0)
end

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

-- Post-processing on, and with it the lighting through the sun's shadow map.
function Game:OnInit()
    DemoPrint("Demo: the game starts")
    DemoReadStrings()
    gGame:ToggleFSE()
    return true
end
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

const char* const kField = R"LUA(-- DemoField, on a sunlit ground in front of the camera: the menu screen built from its layout
-- assets; marker boxes spawned from a template circle on the ground, casting shadows, beside a red
-- lamp; the skinned waver waves; sparks fly from a particle template; an effect of every element
-- kind bursts; a tone plays; the parade sequence moves the herald and sounds the horn; a sentry runs
-- its behaviour tree; after two seconds of game time the demo moves on to the outpost.
DemoPrint("Demo: DemoField script runs")
local ground = gDemo.ground
-- The menu screen over the scene, built from the demo's layout assets: a panel whose bar fills over
-- two seconds, above the localized title and a status line that shows a UI property, and a menu
-- page worked through the screen's pointer input once it has been drawn: the tab opens the options
-- panel, a press picks a list entry, the mouse moved over an entry gives it the mouse-over (the game
-- shows its own cursor), a drag scrolls the list.
gDemo.screen = UIScreen:new()
gDemo.panel = UIElement:CreateFromRecipe("templates/Demo/Screen", "Panel", gUIProperties)
gDemo.screen:AddChild(gDemo.panel)
gDemo.panel:FindElementByName("Bar"):ChangeSize(2.0, Vector(400, 20, 0, 0), 0, 0)
gUIProperties:SetText("DemoStatus", "Built from a recipe")
gDemo.menu = UIElement:CreateFromRecipe("templates/Demo/Menu", "Page", gUIProperties)
gDemo.screen:AddChild(gDemo.menu)
gDemo.list = tolua.cast(gDemo.menu:FindElementByName("List"), "UIList")
for i = 1, 6 do
    local entry = gDemo.list:AddListElement("Entry", false, true)
    tolua.cast(entry:FindElementByName("Label"), "UIText"):SetLocalizedText("Demo/Entry" .. i)
end
gDemo.screen:Show()
gGame:SetActiveUIScreen(gDemo.screen)
DemoPrint("Demo: the menu screen shows a list of " .. gDemo.list:GetEntryCount() .. " entries")
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
    return gDemo.menu:FindElementByName("Options"):IsVisible()
end
gDemo.PickEntry = function()
    gDemo.Tap(1050, 158)
    return gDemo.list:GetCurrent() == gDemo.list:GetEntry(1)
end
-- The entries tell which of them the mouse is over; the demo's configuration makes the window's
-- client area 1280 by 720 pixels.
UIEventAgent = {}
function UIEventAgent:UITrigger(value)
    gDemo.hovered = value
end
for i = 1, gDemo.list:GetEntryCount() do
    UIEventLuaAgent:Register(gDemo.list:GetEntry(i - 1), UIEVENT_MOUSEOVERBEGIN, i, UIEVENTFLAG_ONALL + UIEVENTFLAG_NOCONSUME)
end
gDemo.HoverEntry = function()
    local point = gDemo.Pointer(1050, 198)
    gGame:SetCursorPosition(math.floor(point.x * 1280), math.floor(point.y * 720))
    return gDemo.hovered == 3
end
gDemo.DragList = function()
    gDemo.screen:OnPointerBegin(gDemo.Pointer(1050, 260), 1)
    for step = 1, 4 do
        gDemo.screen:OnPointerMove(gDemo.Pointer(1050, 260 - 20 * step), 1)
    end
    gDemo.screen:OnPointerEnd(gDemo.Pointer(1050, 180), 1)
    return true
end
-- A tap finds its element in what the screen last drew. On a machine so busy that the render side
-- falls seconds behind, the menu may not have been drawn by the time of a step, so a step that
-- missed tries again a little later (as a player would tap again), and the steps keep their order.
gDemo.menuSteps = {
    { run = gDemo.OpenMenu, done = "Demo: the menu tab opens the options panel", missed = "Demo: the menu tab left the panel shut" },
    { run = gDemo.PickEntry, done = "Demo: the second menu entry is selected", missed = "Demo: the second menu entry is not selected" },
    { run = gDemo.HoverEntry, done = "Demo: the mouse is over the third menu entry", missed = "Demo: no menu entry took the mouse-over" },
    { run = gDemo.DragList, done = "Demo: the menu list was dragged and thrown" },
}
gDemo.menuStep, gDemo.menuTries = 1, 0
gDemo.MenuStep = function(index)
    if gDemo.menuStep == index then
        local step = gDemo.menuSteps[index]
        local done = step.run()
        if done or gDemo.menuTries == 30 then
            DemoPrint(done and step.done or step.missed)
            gDemo.menuStep, gDemo.menuTries = index + 1, 0
            return
        end
        gDemo.menuTries = gDemo.menuTries + 1
    end
    gGame:ScheduleScriptCall("gDemo.MenuStep(" .. index .. ")", 0.1, 0)
end
gGame:ScheduleScriptCall("gDemo.MenuStep(1)", 0.3, 0)
gGame:ScheduleScriptCall("gDemo.MenuStep(2)", 0.5, 0)
gGame:ScheduleScriptCall("gDemo.MenuStep(3)", 0.7, 0)
gGame:ScheduleScriptCall("gDemo.MenuStep(4)", 0.9, 0)

gDemo.markers = {}
for i = 1, 6 do
    local marker = DemoSpawn("templates/Demo/Marker", 0, 50)
    if marker ~= nil then
        marker:SetName("Marker" .. i)
        table.insert(gDemo.markers, marker)
    end
end
DemoPrint("Demo: " .. #gDemo.markers .. " markers spawned")
gDemo.waver = tolua.cast(DemoSpawn("templates/Demo/Waver", -9, 24), "MeshEntity")
if gDemo.waver ~= nil then
    local wave = AnimationParams:new_local()
    wave.Flags = ANIMFLAG_LOOP
    DemoPrint("Demo: the waver waves: " .. tostring(gDemo.waver:StartAnimation("root", "Wave", wave)))
end
local sun = gEntityManager:FindEntityByName("Daylight")
local lamp = gEntityManager:FindEntityByName("Lamp")
DemoPrint("Demo: the sun casts shadows on the field " .. (sun ~= nil and lamp ~= nil and "beside a red lamp" or "is missing"))
gDemo.sparks = DemoSpawn("templates/Demo/Sparks", 9, 24, true)
DemoPrint("Demo: sparks " .. (gDemo.sparks ~= nil and "fly from their particle template" or "are missing"))
gDemo.burst = DemoSpawn("templates/Demo/Burst", 0, 20, true)
DemoPrint("Demo: an effect " .. (gDemo.burst ~= nil and "bursts with a glow, sparks, a light, a mesh and a nested glow" or "is missing"))
gDemo.tone = gSoundEngine:PlaySystemSound("tone.ogg")
DemoPrint("Demo: playing tone.ogg as sound " .. tostring(gDemo.tone))

-- The parade: a sequence of script-declared actions. "DemoMove" slides the named entity to a point
-- over its time and "DemoSound" plays a sound; the sequence system keeps their timing, and the
-- script gives them their effect from the started sequence's actions, read through its queries.
local move = gSequenceActionFactory:RegisterLuaSequenceActionClass("DemoMove", "SequenceAction", false, "Demo")
for _, name in ipairs({ "X", "Z" }) do gSequenceActionFactory:AddLuaSequenceActionParam(move, name, "float") end
gSequenceActionFactory:AddLuaSequenceActionParam(move, "Entity", "string")
local sound = gSequenceActionFactory:RegisterLuaSequenceActionClass("DemoSound", "SequenceAction", false, "Demo")
gSequenceActionFactory:AddLuaSequenceActionParam(sound, "Sound", "string")
gSequenceSpawner:BeginSequenceSpawn("Parade")
gSequenceSpawner:AppendTrack("Herald")
for _, step in ipairs({ { "DemoMove", Time = "0.6", Entity = "Herald", X = "-12", Z = "70" },
                        { "DemoSound", Time = "0.3", Sound = "horn.ogg" },
                        { "DemoMove", Time = "0.6", Entity = "Herald", X = "12", Z = "70" } }) do
    gSequenceSpawner:AppendAction(step[1])
    for key, value in pairs(step) do
        if key ~= 1 then gSequenceSpawner:AppendActionParam(key, value) end
    end
end
gSequenceSpawner:EndSequenceSpawn()
gDemo.herald = DemoSpawn("templates/Demo/Beacon", 12, 70)
if gDemo.herald ~= nil then gDemo.herald:SetName("Herald") end
gDemo.slides = {}

-- The named parameters of one action of a sequence, as text.
function DemoActionParams(sequence, track, action)
    local params = {}
    for p = 0, gSequenceSystem:GetParamCount(sequence, track, action) - 1 do
        params[gSequenceSystem:GetParamName(sequence, track, action, p)] = gSequenceSystem:GetStringParamValue(sequence, track, action, p)
    end
    return params
end

gDemo.RunAction = function(kind, params)
    if kind == "DemoMove" then
        local entity = gEntityManager:FindEntityByName(params.Entity)
        if entity == nil then return end
        local from = entity:GetGlobalPosition()
        table.insert(gDemo.slides, { entity = entity, from = Vector(from.x, from.y, from.z, 1), x = tonumber(params.X),
                                     z = tonumber(params.Z), start = gGame:GetGameTime(), time = tonumber(params.Time) })
        DemoPrint("Demo: the parade moves " .. params.Entity)
    elseif kind == "DemoSound" then
        DemoPrint("Demo: the parade sounds " .. params.Sound .. " as sound " .. tostring(gSoundEngine:PlaySystemSound(params.Sound)))
    end
end

-- Starts a sequence and schedules the effect of each of its actions at the action's start.
function DemoStartSequence(name)
    gSequenceSystem:StartSequence(name)
    local sequence = gSequenceSystem:GetSequenceIndex(name)
    if sequence < 0 then return false end
    gDemo.actions = {}
    for track = 0, gSequenceSystem:GetTracksCount(sequence) - 1 do
        local start = 0
        for action = 0, gSequenceSystem:GetActionsCount(sequence, track) - 1 do
            local params = DemoActionParams(sequence, track, action)
            table.insert(gDemo.actions, { gSequenceSystem:GetActionName(sequence, track, action), params })
            gGame:ScheduleScriptCall("gDemo.RunAction(unpack(gDemo.actions[" .. #gDemo.actions .. "]))", start, 0)
            start = start + tonumber(params.Time)
        end
    end
    return true
end
DemoPrint("Demo: the parade sequence " .. (DemoStartSequence("Parade") and "starts" or "is missing"))

gDemo.sentry = gEntityManager:CreateEntityInGame("templates/Demo/Sentry", nil, Matrix.ONE, 0)
DemoPrint("Demo: a sentry " .. (gDemo.sentry ~= nil and "patrols, driven by its behaviour tree" or "is missing"))

gDemo.OnTick = function(ticks)
    if gDemo.waver ~= nil and ticks % 5 == 0 then
        DemoPrint("Demo: the waver's hand is at x " .. tostring(gDemo.waver:GetGlobalHierarchyPositionVector(2).x))
    end
    for i, marker in ipairs(gDemo.markers) do
        local angle = (ticks / 15.0 + i) * 0.8
        local radius = 2 + i
        marker:SetLocalPosition(Vector(math.cos(angle) * radius, ground, 50 + math.sin(angle) * radius, 1))
    end
    local now = gGame:GetGameTime()
    for _, slide in ipairs(gDemo.slides) do
        local t = math.min(1, (now - slide.start) / slide.time)
        slide.entity:SetLocalPosition(Vector(slide.from.x + (slide.x - slide.from.x) * t, ground,
                                             slide.from.z + (slide.z - slide.from.z) * t, 1))
    end
end
gSequenceSystem:StartSequence("fanfare")
DemoPrint("Demo: the scene's fanfare sequence starts")
gGame:ScheduleScriptCall("gSequenceSystem:Log(0, 2)", 0.9, 0)
gGame:ScheduleScriptCall("DemoPrint('Demo: one second of game time')", 1.0, 0)
gGame:ScheduleScriptCall("gGame:SwitchScene('DemoOutpost')", 2.0, 0)
)LUA";

const char* const kOutpost = R"LUA(-- DemoOutpost: a beacon rises out of the ground while a walker goes round the wall of blocked
-- tiles across the middle of the scene's navigation grid, and a video plays on the menu screen;
-- the demo ends after two more seconds.
DemoPrint("Demo: DemoOutpost script runs")
-- The menu screen stays; its panel turns green at the outpost.
gDemo.panel:SetColorRGBA(0.1, 0.5, 0.2, 0.8)
gUIProperties:SetText("DemoStatus", "At the outpost")
gDemo.markers = {}
gDemo.slides = {}
gDemo.beacon = DemoSpawn("templates/Demo/Beacon", 4, 60)
gDemo.walker = DemoSpawn("templates/Demo/Marker", -8, 40)
gDemo.mover = VerySimpleCharacterController:Instance(gDemo.walker, 0.5)
gDemo.mover:SetPosition(Vector(-8, -6, 40, 1))
gDemo.mover:InitPathfinder()
gDemo.mover:SetPathMovementVelocity(16)
gDemo.mover:MoveToPoint(Vector(8, -6, 40, 1), 400)
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
        gDemo.beacon:SetLocalPosition(Vector(4, -6 + (ticks % 30) * 0.2, 60, 1))
    end
end
-- The video: an element of the menu screen that shows the frames the video engine decodes, with
-- the video's own sound.
gDemo.video = UIVideo:new()
gDemo.video:SetPosition(Vector(40, 170, 0, 1))
gDemo.video:SetSize(Vector(256, 192, 0, 0))
gDemo.screen:AddChild(gDemo.video)
DemoPrint("Demo: a video " .. (gVideoEngine:Play("Demo", "videos", false, true, 1.0) and "plays on the menu screen" or "is missing"))
gGame:ScheduleScriptCall("DemoPrint('Demo: the demo ends') gDemo.OnSmoothTick = nil gGame:Quit()", 2.0, 0)
)LUA";
} // namespace DemoScripts
