#ifndef VELQORA_TOOLS_GRAPH_WRITER_H
#define VELQORA_TOOLS_GRAPH_WRITER_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace project_pelk::graphs
{

// Frozen graphs in the layout of a weights file, built with TensorFlow's own C
// API: a float placeholder "intro" of batch x 512 x 512 x 3 and an output
// operation "Identity". The failure kinds each break one of those promises.
enum class GraphKind
{
   Identity,   // y = x
   Affine,     // y = scale * x + offset
   BoxFilter,  // 3 x 3 mean per channel, zeros beyond the edges (SAME)
   Network,    // five 3 x 3 convolutions, 32 channels: a realistic cost
   NoIntro,    // the placeholder is named "input"
   NoIdentity, // the output is named "output"
   NaN,        // y = x * NaN
   Inf,        // y = x + Inf
   WrongShape, // y = first channel of x only
   WrongType,  // y = x as double
   Transposed, // y = x transposed to batch x 3 x 512 x 512: the byte count of x
   TwiceAsWide, // y = x beside itself: batch x 1024 x 512 x 3
   TwiceTheBatch, // y = x after itself: 2 batch x 512 x 512 x 3
   IntIntro,   // "intro" declared int32, cast to float for the output
   SmallIntro  // "intro" declared batch x 256 x 256 x 3
};

inline constexpr GraphKind AllGraphKinds[] = {
   GraphKind::Identity, GraphKind::Affine,     GraphKind::BoxFilter, GraphKind::Network, GraphKind::NoIntro,
   GraphKind::NoIdentity, GraphKind::NaN, GraphKind::Inf, GraphKind::WrongShape, GraphKind::WrongType,
   GraphKind::Transposed, GraphKind::TwiceAsWide, GraphKind::TwiceTheBatch, GraphKind::IntIntro, GraphKind::SmallIntro,
};

struct GraphParameters
{
   int64_t batch = -1; // -1: unknown batch size
   float scale = 1;
   float offset = 0;
   int width = 32; // feature channels of the network's inner layers
};

constexpr int64_t TileSide = 512;
constexpr int64_t TileChannels = 3;

// "identity", "affine", "box", "network", "no-intro", "no-identity", "nan",
// "inf", "wrong-shape", "wrong-type", "transposed", "twice-as-wide",
// "twice-the-batch", "int-intro", "small-intro".
const char* GraphKindName( GraphKind kind ) noexcept;
std::optional<GraphKind> ParseGraphKind( std::string_view name ) noexcept;

// The serialized GraphDef. Throws std::runtime_error with TensorFlow's reason.
std::string MakeGraphDef( GraphKind kind, const GraphParameters& parameters = {} );

// Writes MakeGraphDef() to a file. Throws std::runtime_error.
void WriteGraphFile( const std::string& path, GraphKind kind, const GraphParameters& parameters = {} );

} // project_pelk::graphs

#endif
