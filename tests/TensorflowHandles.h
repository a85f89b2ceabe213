#ifndef VELQORA_TESTS_TENSORFLOW_HANDLES_H
#define VELQORA_TESTS_TENSORFLOW_HANDLES_H

#include "tools/GraphWriter.h"

#include <gtest/gtest.h>
#include <tensorflow/c/c_api.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// TensorFlow handles owned by the test itself, independently of the guards
// under test, in the manner of TensorFlow's own C API tests.
struct TFDeleter
{
   void operator()( TF_Graph* g ) const noexcept { TF_DeleteGraph( g ); }
   void operator()( TF_Status* s ) const noexcept { TF_DeleteStatus( s ); }
   void operator()( TF_Buffer* b ) const noexcept { TF_DeleteBuffer( b ); }
};

using UniqueGraph = std::unique_ptr<TF_Graph, TFDeleter>;
using UniqueStatus = std::unique_ptr<TF_Status, TFDeleter>;
using UniqueBuffer = std::unique_ptr<TF_Buffer, TFDeleter>;

// The graph of a kind (batch 1), imported straight through TensorFlow.
inline UniqueGraph ImportDirectly( project_pelk::graphs::GraphKind kind )
{
   const std::string graphDef = project_pelk::graphs::MakeGraphDef( kind, { .batch = 1 } );
   UniqueGraph graph( TF_NewGraph() );
   UniqueStatus status( TF_NewStatus() );
   UniqueBuffer buffer( TF_NewBufferFromString( graphDef.data(), graphDef.size() ) );
   std::unique_ptr<TF_ImportGraphDefOptions, decltype( &TF_DeleteImportGraphDefOptions )>
      options( TF_NewImportGraphDefOptions(), TF_DeleteImportGraphDefOptions );
   TF_GraphImportGraphDef( graph.get(), buffer.get(), options.get(), status.get() );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK ) << TF_Message( status.get() );
   return graph;
}

// A float tile batch of one tile: 1 x 512 x 512 x 3.
inline std::vector<int64_t> TileDims()
{
   return { 1, project_pelk::graphs::TileSide, project_pelk::graphs::TileSide, project_pelk::graphs::TileChannels };
}

inline size_t TileElements()
{
   return size_t( project_pelk::graphs::TileSide * project_pelk::graphs::TileSide * project_pelk::graphs::TileChannels );
}

#endif
