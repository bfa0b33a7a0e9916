#include "canvas/tools/tool.h"

#include "canvas/tools/chainsaw_tool.h"
#include "canvas/tools/circle_tool.h"
#include "canvas/tools/giant_cannon_tool.h"
#include "canvas/tools/hammer_tool.h"
#include "canvas/tools/square_tool.h"
#include "canvas/tools/stamp_tool.h"
#include "canvas/tools/triple_cannon_tool.h"

std::unique_ptr<Tool> makeTool(int n) {
    switch (n) {
        case 1:
            return std::make_unique<ChainsawTool>();
        case 2:
            return std::make_unique<HammerTool>();
        case 3:
            return std::make_unique<CircleTool>();
        case 4:
            return std::make_unique<SquareTool>();
        case 5:
            return std::make_unique<TripleCannonTool>();
        case 6:
            return std::make_unique<GiantCannonTool>();
        case 7:
            return std::make_unique<StampTool>();
    }
    return nullptr;
}
