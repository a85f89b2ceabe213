// The real TensorFlow C library links and runs.
#include <gtest/gtest.h>
#include <tensorflow/c/c_api.h>

#include <cstring>
#include <memory>

namespace
{

TEST( TensorFlowLink, VersionIsTwoPointSomething )
{
   const char* version = TF_Version();
   ASSERT_NE( version, nullptr );
   EXPECT_EQ( std::strncmp( version, "2.", 2 ), 0 ) << version;
}

TEST( TensorFlowLink, GraphAndStatusCanBeMadeAndFreed )
{
   std::unique_ptr<TF_Graph, decltype( &TF_DeleteGraph )> graph( TF_NewGraph(), TF_DeleteGraph );
   std::unique_ptr<TF_Status, decltype( &TF_DeleteStatus )> status( TF_NewStatus(), TF_DeleteStatus );
   ASSERT_NE( graph, nullptr );
   ASSERT_NE( status, nullptr );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK );
   EXPECT_EQ( TF_GraphOperationByName( graph.get(), "intro" ), nullptr );
}

} // namespace
