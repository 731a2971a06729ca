#include "output/export_commands.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "app/qt_dialogs.h"
#include "common/errors.h"

namespace qm {
namespace {

constexpr int kPollMilliseconds = 40;
constexpr int kStepScale = 1000;

constexpr const char* kOutOfMemory =
    "There is not enough memory to make this picture. Select a smaller region, zoom out, or "
    "use Tiled Map Images... to make it in four parts.";

// Thrown from the progress callback on the worker to stop the core export between
// two bands; the export's temporary file goes with it.
struct ExportCancelled {};

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  // Once the progress window is up the pointer must still be able to reach Cancel.
  void Busy() { QApplication::changeOverrideCursor(Qt::BusyCursor); }
};

struct ExportStep {
  QString label;
  int bands;  // the progress the step reports runs from 0 to this
  std::function<void(const ExportProgress&)> work;
};

// Runs the steps in order on one worker thread while the user-interface thread
// shows their progress. The progress window is application-modal, so no command
// can change the document or the tileset while the worker reads them.
class BackgroundExport {
 public:
  BackgroundExport(QWidget* parent, QProgressBar* bar, int quiet_milliseconds)
      : parent_(parent), bar_(bar), quiet_milliseconds_(quiet_milliseconds) {}

  // False when the user cancelled; a failure of a step is rethrown here, on the
  // user-interface thread, and the steps after it do not run.
  bool Run(const std::vector<ExportStep>& steps) {
    std::exception_ptr failure;
    bool cancelled = false;
    const ExportProgress report = [this](int done, int total) {
      done_.store(done);
      total_.store(total);
      if (cancel_.load()) throw ExportCancelled{};
    };
    std::unique_ptr<QThread> worker(QThread::create([&] {
      try {
        for (std::size_t i = 0; i < steps.size(); ++i) {
          if (cancel_.load()) throw ExportCancelled{};
          done_.store(0);
          total_.store(steps[i].bands);
          step_.store(static_cast<int>(i));
          steps[i].work(report);
        }
      } catch (const ExportCancelled&) {
        cancelled = true;
      } catch (...) {
        failure = std::current_exception();
      }
    }));

    if (bar_ && !steps.empty()) {
      bar_->setRange(1, std::max(1, steps.front().bands));
      bar_->setValue(1);
      bar_->show();
    }
    worker->start();
    if (!worker->wait(QDeadlineTimer(quiet_milliseconds_))) {
      wait_.Busy();
      ShowProgressUntilDone(*worker, steps);
    }
    worker->wait();
    if (bar_) bar_->hide();

    if (failure) std::rethrow_exception(failure);
    return !cancelled;
  }

 private:
  void ShowProgressUntilDone(QThread& worker, const std::vector<ExportStep>& steps) {
    QProgressDialog dialog(parent_);
    dialog.setWindowTitle(kMessageTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    dialog.setRange(0, static_cast<int>(steps.size()) * kStepScale);
    dialog.setMinimumWidth(360);

    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    // Cancel stops the loop at once: the worker finishes its current band while
    // the window messages wait, so nothing slips in between the window closing and
    // the worker letting go of the level.
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [this, &loop] {
      cancel_.store(true);
      loop.quit();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
      // However the window went (its close button, a reset), it means Cancel.
      if (dialog.wasCanceled() || !dialog.isVisible()) {
        cancel_.store(true);
        loop.quit();
        return;
      }
      ShowProgress(dialog, steps);
    });
    ShowProgress(dialog, steps);
    dialog.show();
    poll.start(kPollMilliseconds);
    if (!worker.isFinished()) loop.exec();
    poll.stop();
  }

  void ShowProgress(QProgressDialog& dialog, const std::vector<ExportStep>& steps) {
    const int step = step_.load();
    const int done = done_.load();
    const int total = total_.load();
    if (step != shown_step_) {
      shown_step_ = step;
      dialog.setLabelText(steps[static_cast<std::size_t>(step)].label);
    }
    const int part = total > 0 ? done * kStepScale / total : 0;
    dialog.setValue(step * kStepScale + part);
    if (bar_ && total > 0) {
      bar_->setRange(1, total);
      bar_->setValue(std::max(1, done));
    }
  }

  QWidget* parent_;
  QProgressBar* bar_;
  int quiet_milliseconds_;
  WaitCursor wait_;
  std::atomic<int> step_{0};
  std::atomic<int> done_{0};
  std::atomic<int> total_{0};
  std::atomic<bool> cancel_{false};
  int shown_step_ = -1;
};

QString FileLabel(const std::string& path) {
  return QFileInfo(ToQString(path)).fileName();
}

void PutOnClipboard(ExportPicture picture) {
  // The clipboard takes the rendered rows as they are; the image frees them when
  // the clipboard lets go of it.
  auto* rows = new std::vector<std::uint8_t>(std::move(picture.pixels));
  const QImage image(
      rows->data(), picture.width, picture.height, 3 * static_cast<qsizetype>(picture.width),
      QImage::Format_RGB888,
      [](void* held) { delete static_cast<std::vector<std::uint8_t>*>(held); }, rows);
  QGuiApplication::clipboard()->setImage(image);
}

}  // namespace

std::optional<std::string> ClipboardRefusal(ExportRegion region, int cell_size) {
  const std::uint64_t size = cell_size > 0 ? static_cast<std::uint64_t>(cell_size) : 0;
  const std::uint64_t width = static_cast<std::uint64_t>(std::max(region.Columns(), 0)) * size;
  const std::uint64_t height = static_cast<std::uint64_t>(std::max(region.Rows(), 0)) * size;
  if (width <= kClipboardMaxSide && height <= kClipboardMaxSide &&
      width * height * 4 <= kClipboardMaxBytes) {
    return std::nullopt;
  }
  return "The picture would be " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, too large to copy to the clipboard (the limit is " +
         std::to_string(kClipboardMaxSide) + " pixels a side and " +
         std::to_string(kClipboardMaxBytes >> 20) +
         " MiB). Select a smaller region or zoom out, or export the picture to a file with "
         "File, Export..., Image... instead.";
}

QtSavePictureDialog::QtSavePictureDialog(QWidget* parent, const QString& program_directory)
    : parent_(parent), directory_(QDir(program_directory).filePath("Files")) {}

std::optional<PictureChoice> QtSavePictureDialog::ChooseSavePicture() {
  const QStringList filters = QtFileFilter(kPictureFilter).split(";;");
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.value(filter_index_ - 1));
  // A missing "Files" directory is left to the platform, which starts elsewhere.
  if (!directory_.isEmpty()) dialog.setDirectory(directory_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().constFirst();
  directory_ = QFileInfo(chosen).absolutePath();
  // An unknown filter counts as none, which the command treats like JPEG.
  filter_index_ = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return PictureChoice{ToStdString(chosen), filter_index_};
}

ExportCommands::ExportCommands(QWidget* parent, const MapDocument& document, const Tileset& tileset,
                               const MapViewHost& view, SelectionSource selection,
                               QProgressBar* progress_bar, SavePictureDialog& picture_dialog,
                               UserDialogs& messages)
    : parent_(parent),
      document_(document),
      tileset_(tileset),
      view_(view),
      selection_(std::move(selection)),
      progress_bar_(progress_bar),
      picture_dialog_(picture_dialog),
      messages_(messages) {
  if (progress_bar_) progress_bar_->hide();
}

ExportRegion ExportCommands::SelectedRegion() const {
  GridSelection selection = selection_ ? selection_() : GridSelection{};
  // The view hands over rectangles on the grid, but a region outside it would only
  // be refused later; one entirely off the grid means no selection.
  if (!ClipToGrid(selection)) return kWholeLevel;
  return RegionForSelection(selection.left, selection.top, selection.right, selection.bottom);
}

template <typename Command>
void ExportCommands::Guarded(Command&& command) {
  // Menu actions are where failures end: they are shown, never passed on to the
  // event loop.
  try {
    command();
  } catch (const UserError& e) {
    messages_.ShowError(e.what());
  } catch (const std::bad_alloc&) {
    messages_.ShowError(kOutOfMemory);
  } catch (const std::exception& e) {
    messages_.ShowError(e.what());
  }
}

void ExportCommands::ExportDiskExecute() {
  Guarded([this] {
    const ExportRegion region = SelectedRegion();
    const std::optional<PictureChoice> choice = picture_dialog_.ChooseSavePicture();
    if (!choice) return;
    const std::string file_name = ExportFileName(choice->path, choice->filter_index);
    // A name the writers cannot serve is refused before any work starts.
    RequirePictureFormat(file_name);
    const int cell_size = view_.ViewCellSize();
    // The worker draws from its own copy of the level.
    const auto level = std::make_unique<TMap>(document_.Current());
    BackgroundExport run(parent_, nullptr, quiet_milliseconds_);
    run.Run({{QString("Exporting %1...").arg(FileLabel(file_name)), region.Rows(),
              [&](const ExportProgress& progress) {
                ExportRegionImage(file_name, *level, tileset_, region, cell_size, progress);
              }}});
  });
}

void ExportCommands::ExportDiskTiledExecute() {
  Guarded([this] {
    const std::optional<PictureChoice> choice = picture_dialog_.ChooseSavePicture();
    if (!choice) return;
    const std::array<QuarterFile, 4> files = QuarterFiles(choice->path, choice->filter_index);
    RequirePictureFormat(files[0].file_name);
    const int cell_size = view_.ViewCellSize();
    const auto level = std::make_unique<TMap>(document_.Current());
    std::vector<ExportStep> steps;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const QuarterFile file = files[i];
      steps.push_back(
          {QString("Exporting %1 (%2 of %3)...")
               .arg(FileLabel(file.file_name))
               .arg(i + 1)
               .arg(files.size()),
           file.region.Rows(), [this, &level, cell_size, file](const ExportProgress& progress) {
             ExportQuarterImage(file.file_name, *level, tileset_, file.region, cell_size, progress);
           }});
    }
    BackgroundExport run(parent_, progress_bar_, quiet_milliseconds_);
    run.Run(steps);
  });
}

void ExportCommands::ExportClipboardExecute() {
  Guarded([this] {
    const ExportRegion region = SelectedRegion();
    const int cell_size = view_.ViewCellSize();
    if (std::optional<std::string> refusal = ClipboardRefusal(region, cell_size)) {
      messages_.ShowError(*refusal);
      return;
    }
    const auto level = std::make_unique<TMap>(document_.Current());
    ExportPicture picture;
    BackgroundExport run(parent_, nullptr, quiet_milliseconds_);
    const bool done =
        run.Run({{"Copying the picture to the clipboard...", region.Rows(),
                  [&](const ExportProgress& progress) {
                    picture = RenderRegionPicture(*level, tileset_, region, cell_size, progress);
                  }}});
    if (done) PutOnClipboard(std::move(picture));
  });
}

}  // namespace qm
