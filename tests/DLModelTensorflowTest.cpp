// Graph loading and operations of DLModelTensorflow against the real
// TensorFlow library, with graphs made by the graph tool as the tests run.
// Sessions, tensors and runs, and what only a call log can show, are in
// TensorflowCallOrderTest.
#include "framework/DLModelTensorflow.h"
#include "tests/ErrorOf.h"
#include "tests/HostFixture.h"
#include "tests/ScratchDirectory.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace
{

using pcl::DLModelTensorflow;
using project_pelk::graphs::GraphKind;

const char* const WeightsName = "Velqora_weights_v2.pb";
const std::string LoadFailureLine = "\x1b[31mUnable to load graph definition from /opt/PixInsight/bin/!\x1b[39m";

// ---------------------------------------------------------------- loading

using LoadModel = HostTest;

TEST_F( LoadModel, FailureWritesTheConsoleLineAndRethrowsTheErrorUnchanged )
{
   // The platform's own error for the missing file of the base path.
   const std::string missing = "/opt/PixInsight/bin/Velqora_weights_v1.pb: Unable to open file: No such file or directory";
   const struct
   {
      const char* name;
      std::function<void( const ScratchDirectory& )> setUp;
      std::string message;
   } cases[] = {
      { WeightsName, // a directory of the name is passed over for the base path
        []( const ScratchDirectory& s ) { std::filesystem::create_directory( s.Path() / WeightsName ); },
        "/opt/PixInsight/bin/Velqora_weights_v2.pb: Unable to open file: No such file or directory" },
      { "Velqora_weights_v1.pb", []( const ScratchDirectory& ) {}, missing },
      { "", []( const ScratchDirectory& ) {}, "Invalid or empty file name" },
      { WeightsName, []( const ScratchDirectory& s ) { s.Write( WeightsName, "this is not a graph" ); },
        "KestrimEngine::LoadGraphDef(): Unable to load graph definition: Invalid GraphDef" },
      // TensorFlow's import crashes on 2 GiB; a sparse file has the size unread.
      { WeightsName,
        []( const ScratchDirectory& s ) { std::filesystem::resize_file( s.Write( WeightsName, "" ), 1ull << 31 ); },
        "Velqora_weights_v2.pb: File too large for a TensorFlow graph: 2147483648 bytes (limit 2147483647)." },
   };
   for ( const auto& c : cases )
   {
      ScratchDirectory dir;
      c.setUp( dir );
      WorkingDirectory cwd( dir.Path() );
      HostConsole().ClearTranscript();
      EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow().LoadModel( c.name ); } ), c.message );
      EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ LoadFailureLine } ) << c.message;
   }
}

// ---------------------------------------------------------------- operations

TEST( RequireOperation, FirstOutputOrMessage )
{
   UniqueGraph noIntro = ImportDirectly( GraphKind::NoIntro );
   EXPECT_EQ( ErrorOf( [] { DLModelTensorflow::RequireOperation( nullptr, "intro" ); } ), "TensorFlow graph is null." );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RequireOperation( noIntro.get(), "intro" ); } ),
              "TensorFlow graph does not contain required operation: intro" );
   const TF_Output output = DLModelTensorflow::RequireOperation( noIntro.get(), "Identity" );
   EXPECT_EQ( output.oper, TF_GraphOperationByName( noIntro.get(), "Identity" ) );
   EXPECT_EQ( output.index, 0 );
}

} // namespace
