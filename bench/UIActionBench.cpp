// One UI frame of 10,000 elements, each with one running colour action: the main thread mirrors one
// setter per element as a UI command, and the render side advances every element's actions. With no
// render thread the commands run as they are written, so both sides are measured on one core. The
// reference does the bare work of the frame (store a position, lerp a colour by elapsed time over
// plain arrays). "x_reference" is reference time / our time.
#include "PairedRatio.h"

#include "ui/elements/UIElement.h"
#include "ui/widgets/UIAction.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kElements = 10000;
constexpr int64_t kFrameTicks = 10000000 / 60;

struct PlainElement
{
    Vector position;
    Vector color;
    Vector start;
    Vector target;
    int64_t startTicks;
};

void UIActionFrame(benchmark::State& state)
{
    UIElement* root = new UIElement;
    std::vector<UIElement*> elements;
    for (int i = 0; i < kElements; ++i)
    {
        UIElement* element = new UIElement;
        root->AddChild(element);
        element->ChangeLinearColorRGBA(1000.0f, 0.0f, 0.5f, 1.0f, 0.0f, UIACTIONFLAG_REPEAT, 0);
        elements.push_back(element);
    }
    std::vector<PlainElement> plain(kElements, PlainElement{Vector(0, 0, 0, 1), Vector(1, 1, 1, 1), Vector(1, 1, 1, 1),
                                                           Vector(0, 0.5f, 1, 0), 0});
    int64_t now = 0;
    PairedRatio ratio;
    for (auto _ : state)
    {
        now += kFrameTicks;
        ratio.Measure(
            [&] {
                SetUIActionClocks({Time(now), Time(now), Time(now)});
                for (int i = 0; i < kElements; ++i)
                {
                    elements[size_t(i)]->SetPositionXYZ(float(i), float(now & 1023), 0.0f);
                    elements[size_t(i)]->UpdateActions();
                }
            },
            [&] {
                for (PlainElement& e : plain)
                {
                    e.position.Set(float(&e - plain.data()), float(now & 1023), 0.0f, 1.0f);
                    const float t = float(double(now - e.startTicks) / 1e7 / 1000.0);
                    e.color.Set(e.start.x + (e.target.x - e.start.x) * t, e.start.y + (e.target.y - e.start.y) * t,
                                e.start.z + (e.target.z - e.start.z) * t, e.start.w + (e.target.w - e.start.w) * t);
                }
                benchmark::DoNotOptimize(plain.data());
            });
    }
    ratio.Report(state, "x_reference");
    root->Release();
}
BENCHMARK(UIActionFrame)->Unit(benchmark::kMicrosecond);
} // namespace
