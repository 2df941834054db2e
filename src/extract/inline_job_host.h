#pragma once

#include "extract/conversion_job.h"
#include "extract/job_host.h"

namespace corvane {

// A host that executes each run at once on the calling thread, one after the other: the command line
// and the tests. There is no worker, so the job's two threads are this one.
class TInlineJobHost : public TJobHost {
 public:
  void StartRun() final { m_runPending = true; }

  // Runs a job over the job's queue to its end.
  void RunJob(TConversionJob& job) {
    job.Start();
    while (m_runPending) {
      m_runPending = false;
      job.ConvertFile();
      job.RunTerminated();
    }
  }

 private:
  bool m_runPending = false;
};

}  // namespace corvane
