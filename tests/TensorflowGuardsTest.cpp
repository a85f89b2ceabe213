// The guards with the real TensorFlow library: they free the real library's
// handles (the leak checks run this binary under valgrind). The order of
// calls and the null checks are in TensorflowCallOrderTest.
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

// With its own status the guard is used wherever a session is run
// (GraphWriterTest); without one it closes the session with a temporary status.
TEST( TensorflowGuards, SessionGuardWithoutStatusClosesTheSessionWithATemporaryOne )
{
   UniqueStatus creation( TF_NewStatus() );
   SessionGuard guard;
   guard.graph = ImportDirectly( GraphKind::Identity ).release();
   guard.options = TF_NewSessionOptions();
   guard.session = TF_NewSession( guard.graph, guard.options, creation.get() );
   ASSERT_NE( guard.session, nullptr );
}

} // namespace
