// Progress, abort, view locks and the error reporting where a host call
// enters the module.
#include "HostFixture.h"

#include "platform/boundary/HostCall.h"
#include "platform/image/StandardStatus.h"
#include "platform/image/StatusMonitor.h"
#include "platform/image/View.h"
#include "tests/ErrorOf.h"

#include <chrono>
#include <stdexcept>
#include <thread>

using namespace pcl;

namespace
{

// Records what a monitor reports, and answers abort when told to.
struct RecordingStatus : StatusCallback
{
   int Record( const char* what, const StatusMonitor& m ) const
   {
      events.push_back( what + std::to_string( m.Count() ) );
      return answer;
   }
   int Initialized( const StatusMonitor& m ) const override { return Record( "init ", m ); }
   int Updated( const StatusMonitor& m ) const override { return Record( "update ", m ); }
   int Completed( const StatusMonitor& m ) const override { return Record( "done ", m ); }

   mutable std::vector<std::string> events;
   int answer = 0;
};

TEST( StatusMonitor, CountIsHeldAtTheTotalCompletionReportedOnceAndAbortAnswered )
{
   RecordingStatus status, other;
   StatusMonitor monitor;
   monitor.SetCallback( &status );
   {
      AutoStatusCallbackRestorer<StatusMonitor> restorer( monitor );
      monitor.SetCallback( &other );
   }
   monitor.Initialize( "Work", 4 );
   monitor += 3;
   monitor += 5;
   monitor += 1;
   EXPECT_EQ( monitor.Count(), 4u );
   EXPECT_TRUE( monitor.IsCompleted() );
   EXPECT_EQ( status.events, ( std::vector<std::string>{ "init 0", "done 4" } ) ) << "no refresh due within 250 ms";

   // An abort answer throws ProcessAborted.
   monitor.Initialize( "Work", 2 );
   status.answer = 1;
   monitor += 1; // no refresh due: the answer is not asked for
   EXPECT_THROW( monitor += 1, ProcessAborted );
}

using HostServicesTest = HostTest;

TEST_F( HostServicesTest, StandardStatusWritesProgressThenDone )
{
   StandardStatus status;
   StatusMonitor monitor;
   monitor.SetCallback( &status );
   monitor.Initialize( "Processing 2 image tiles", 2 );
   EXPECT_EQ( ConsoleText(), "<end><cbr>Processing 2 image tiles:   0%" );
   std::this_thread::sleep_for( StatusMonitor::RefreshInterval + std::chrono::milliseconds( 20 ) );
   monitor += 1;
   monitor += 1;
   EXPECT_EQ( ConsoleText(), "<end><cbr>Processing 2 image tiles:   0%\b\b\b\b 50%\b\b\b\bdone\n" );
}

TEST_F( HostServicesTest, StandardStatusAnswersAbortOnlyWhenEnabled )
{
   StandardStatus status;
   StatusMonitor monitor;
   monitor.SetCallback( &status );
   HostConsole().RequestAbort();
   monitor.Initialize( "Work", 1 ); // abort not enabled: the request is not seen
   Console::EnableAbort();
   EXPECT_THROW( monitor += 1, ProcessAborted );
   Console::DisableAbort();
   HostConsole().ClearAbortRequest();
}

TEST_F( HostServicesTest, ViewLockRefusals )
{
   host::View& hv = m_host.Windows().CreateView( "Image01", 4, 4, 1, ColorSpace::Gray, 32, true );
   View view( hv.Handle() );
   {
      AutoViewLock lock( view );
      EXPECT_TRUE( hv.IsLocked() );
      EXPECT_EQ( ErrorOf( [&] { AutoViewLock again( view ); } ),
                 "The view is already locked for read/write operations: Image01" );
      EXPECT_TRUE( hv.IsLocked() ) << "the refused lock does not unlock";
   }
   EXPECT_FALSE( hv.IsLocked() );

   std::string message;
   std::thread worker( [&] { message = ErrorOf( [&] { AutoViewLock lock( view ); } ); } );
   worker.join();
   EXPECT_EQ( message, "Only the root thread can lock a view: Image01" );
   EXPECT_FALSE( hv.IsLocked() );
}

TEST_F( HostServicesTest, EachThreadReadsItsOwnLastError )
{
   host::View& hv = m_host.Windows().CreateView( "Image01", 4, 4, 1, ColorSpace::Gray, 32, true );
   auto fetch = [&]( const char* id ) {
      int32_t kind = 0;
      size_t count = 0;
      return Host().ViewComputeOrFetchProperty( hv.Handle(), id, 1, &kind, nullptr, 0, &count );
   };
   ASSERT_NE( fetch( "Mean" ), 0 );
   // A run on another thread meanwhile succeeds, which clears its own last error only.
   std::thread other( [&] { EXPECT_EQ( fetch( "Median" ), 0 ); } );
   other.join();
   EXPECT_EQ( String( Host().HostLastError() ).ToStdUTF8(), "Unknown view property: Mean" );
}

TEST_F( HostServicesTest, ViewImageSharesTheHostsPixelsAndDescribesItsFormat )
{
   host::View& hv = m_host.Windows().CreateView( "v", 3, 2, 3, ColorSpace::RGB, 16, false );
   View view( hv.Handle() );
   ImageVariant variant = view.Image();
   ASSERT_FALSE( variant.IsFloatSample() );
   ASSERT_EQ( variant.BitsPerSample(), 16 );
   GenericImage<UInt16PixelTraits>& image = variant.Image<UInt16PixelTraits>();
   image( 2, 1, 2 ) = 1234;
   EXPECT_EQ( hv.Samples<uint16_t>( 2 )[5], 1234 );

   // Assignment writes into the host's pixels, converted.
   GenericImage<DoublePixelTraits> result( 3, 2, ColorSpace::RGB );
   result = 1.0;
   image = result;
   EXPECT_EQ( hv.Samples<uint16_t>( 0 )[0], 65535 );
   EXPECT_EQ( hv.Samples<uint16_t>( 2 )[5], 65535 );

   // A new geometry goes through the host.
   GenericImage<DoublePixelTraits> gray( 4, 4, ColorSpace::Gray );
   image = gray;
   EXPECT_EQ( hv.Width(), 4 );
   EXPECT_EQ( hv.NumberOfChannels(), 1 );
   EXPECT_EQ( image.Width(), 4 );

   host::View& hc = m_host.Windows().CreateView( "c", 600, 500, 2, ColorSpace::Gray, 64, true, true );
   ImageVariant complex = View( hc.Handle() ).Image();
   EXPECT_TRUE( complex.IsComplexSample() );
   EXPECT_TRUE( complex.IsEmpty() );
   EXPECT_TRUE( complex.HasAlphaChannels() );

   host::View& rgb = m_host.Windows().CreateView( "r", 600, 500, 3, ColorSpace::RGB, 8, false );
   ImageVariant bytes = View( rgb.Handle() ).Image();
   EXPECT_EQ( bytes.Image<UInt8PixelTraits>().Height(), 500 );
   EXPECT_THROW( bytes.Image<FloatPixelTraits>(), Error );

   // The image's status callback lives with the image the run works on.
   RecordingStatus status;
   bytes.SetStatusCallback( &status );
   EXPECT_EQ( bytes.Image<UInt8PixelTraits>().Status().Callback(), &status );
}

TEST_F( HostServicesTest, ErrorsAreReportedAndAbortsAreNot )
{
   EXPECT_TRUE( HostCall( [] {} ) );
   EXPECT_FALSE( HostCall( [] { throw Error( "Something failed." ); } ) );
   EXPECT_EQ( ConsoleText(), "<end><cbr>\033[31m*** Error: Something failed.\033[39m<end><cbr>\n" );
   HostConsole().ClearTranscript();
   EXPECT_FALSE( HostCall( [] { throw ProcessAborted(); } ) );
   EXPECT_EQ( ConsoleText(), "" );
   EXPECT_FALSE( HostCall( [] { throw std::runtime_error( "boom" ); } ) );
   EXPECT_EQ( ConsoleText(), "<end><cbr>\033[31m*** Error: boom\033[39m<end><cbr>\n" );
}

} // namespace
