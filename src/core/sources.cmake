# The core's source files, relative to src/core. The core library, the fuzz targets and
# anything else that compiles the core reads this one list.
set(METROLA_CORE_SOURCES
  base/metrolaerror.h
  base/workcancel.h
  base/cp1251.h base/cp1251.cpp
  base/numbertext.h base/numbertext.cpp
  base/namerule.h base/namerule.cpp
  base/numericlocale.h base/numericlocale.cpp
  base/qttranslation.h base/qttranslation.cpp
  base/safefile.h base/safefile.cpp
  base/folderlock.h base/folderlock.cpp
  base/largebuffers.h base/largebuffers.cpp

  model/recordtable.h model/recordtable.cpp
  model/captions.h model/captions.cpp
  model/planlist.h model/planlist.cpp
  model/descriptionfile.h model/descriptionfile.cpp
  model/planscales.h model/planscales.cpp
  model/sidefile.h model/sidefile.cpp
  model/roomflags.h model/roomflags.cpp
  model/occupancy.h model/occupancy.cpp
  model/projectsession.h model/projectsession.cpp
  model/roomareas.h model/roomareas.cpp
  model/areacheckrunner.h model/areacheckrunner.cpp
  model/workfolder.h model/workfolder.cpp
  model/planimport.h model/planimport.cpp
  model/planedits.h model/planedits.cpp
  model/projecthistory.h model/projecthistory.cpp
  model/roomacceptance.h model/roomacceptance.cpp
  model/recoveryfile.h model/recoveryfile.cpp
  model/recoverywriter.h model/recoverywriter.cpp
  model/recentarchives.h model/recentarchives.cpp
  model/recordview.h model/recordview.cpp

  plan/colourkey.h
  plan/displaycolours.h plan/displaycolours.cpp
  plan/floodfill.h plan/floodfill.cpp
  plan/roomrepaint.h plan/roomrepaint.cpp
  plan/bmpdecoder.h plan/bmpdecoder.cpp
  plan/bmpwriter.h plan/bmpwriter.cpp
  plan/roommeasure.h plan/roommeasure.cpp
  plan/planimage.h plan/planimage.cpp
  plan/planzoom.h plan/planzoom.cpp
  plan/plansource.h plan/plansource.cpp

  rooms/cvplan.h rooms/cvplan.cpp
  rooms/cvguard.h rooms/cvguard.cpp
  rooms/planpreparation.h rooms/planpreparation.cpp
  rooms/closingline.h rooms/closingline.cpp
  rooms/roomfinder.h rooms/roomfinder.cpp
  rooms/stages.h
  rooms/wallfinder.h rooms/wallfinder.cpp
  rooms/doorfinder.h rooms/doorfinder.cpp
  rooms/roomsplitter.h rooms/roomsplitter.cpp
  rooms/roomproposals.h rooms/roomproposals.cpp

  leases/lease.h leases/lease.cpp
  leases/leasebook.h leases/leasebook.cpp
  leases/leasecalendar.h leases/leasecalendar.cpp
  leases/leasedrooms.h leases/leasedrooms.cpp
  leases/leaserules.h leases/leaserules.cpp

  archive/zipformat.h archive/zipformat.cpp
  archive/zipdeflatepool.h archive/zipdeflatepool.cpp
  archive/zipwriter.h archive/zipwriter.cpp
  archive/zipreader.h archive/zipreader.cpp
  archive/projectarchive.h archive/projectarchive.cpp

  sharing/archivelock.h sharing/archivelock.cpp
  sharing/sharedarchive.h sharing/sharedarchive.cpp

  portfolio/portfolio.h portfolio/portfolio.cpp portfolio/portfolioworkbook.cpp

  reports/commonareasuggestion.h reports/commonareasuggestion.cpp
  reports/areaschedule.h reports/areaschedule.cpp
  reports/xlsxworkbook.h reports/xlsxworkbook.cpp
  reports/placementpicture.h reports/placementpicture.cpp
  reports/plancolouring.h reports/plancolouring.cpp
  reports/complexsummary.h reports/complexsummary.cpp
  reports/recordrules.h reports/recordrules.cpp
  reports/reportfolder.h reports/reportfolder.cpp
  reports/stackingplan.h reports/stackingplan.cpp
  reports/planpdf.h reports/planpdf.cpp
  reports/projectpdf.h reports/projectpdf.cpp
)
