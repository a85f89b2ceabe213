// The guards and wrappers with the real TensorFlow library: the guards free
// the real library's handles (the leak checks run this binary under
// valgrind). The order of calls and the null checks are in
// TensorflowCallOrderTest, the exact messages in DLModelTensorflowTest.
#include "framework/TensorflowGuards.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace
{

using namespace project_pelk::tensorflow;
using project_pelk::graphs::GraphKind;

// Exclusive ownership: a copy or a move would free a handle twice.
template <class G>
constexpr bool Pinned = !std::is_copy_constructible_v<G> && !std::is_copy_assignable_v<G> &&
                        !std::is_move_constructible_v<G> && !std::is_move_assignable_v<G>;
static_assert( Pinned<TensorGuard> && Pinned<StatusGuard> && Pinned<ImportGraphDefOptionsGuard> &&
               Pinned<BufferGuard> && Pinned<SessionGuard> );

TEST( TensorflowGuards, SessionGuardClosesALiveSessionWithItsOwnOrATemporaryStatus )
{
   for ( bool ownStatus : { true, false } )
   {
      UniqueStatus creation( TF_NewStatus() );
      SessionGuard guard;
      guard.graph = ImportDirectly( GraphKind::Identity ).release();
      guard.options = TF_NewSessionOptions();
      if ( ownStatus )
         guard.status = TF_NewStatus();
      guard.session = TF_NewSession( guard.graph, guard.options, ownStatus ? guard.status : creation.get() );
      ASSERT_NE( guard.session, nullptr );
   }
}

TEST( TensorflowWrappers, CreateTensorAcceptsALengthOfZero )
{
   const int64_t dims[] = { 0 };
   const float data[] = { 0 };
   UniqueTensor tensor( CreateTensor( TF_FLOAT, dims, 1, data, 0 ) );
   ASSERT_NE( tensor, nullptr );
   EXPECT_EQ( TF_TensorByteSize( tensor.get() ), 0u );
}

} // namespace
