#include "ui/frmOpen.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStorageInfo>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/archive_names.h"
#include "core/texts.h"
#include "ui/frmVELM.h"
#include "ui/icons.h"

namespace vellmark::ui {

namespace fs = std::filesystem;

namespace {

const QString kTitle = QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size());

// The exact bytes of a path, kept beside its text: a name that is not valid UTF-8
// would not survive a trip through QString.
constexpr int kRawPathRole = Qt::UserRole + 1;

// Mount points that hold no user files.
bool IsSystemMount(const QString& root) {
  for (const char* prefix : {"/proc", "/sys", "/dev", "/run"})
    if (root == QLatin1String(prefix) || root.startsWith(QLatin1String(prefix) + '/')) return true;
  return false;
}

QString SystemReason(const std::error_code& error) { return QString::fromLocal8Bit(error.message()); }

struct FileRow {
  QString name;
  std::string rawName;
  std::uint64_t size;
};

}  // namespace

QString RowNumberText(int number) { return (QStringLiteral("      ") + QString::number(number)).right(7); }

QString OpenDialogSizeText(std::uint64_t bytes) {
  // (bytes / 1024 + 0.5) == (bytes + 512) / 1024, kept in whole numbers.
  const std::uint64_t half = bytes > UINT64_MAX - 512 ? UINT64_MAX : bytes + 512;
  return QString::number(DivideRoundHalfEven(half, 1024)) + QStringLiteral(" KB");
}

QString FullPath(const QString& folder, const QString& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

frmOpen::frmOpen(frmVELM& window, const QString& startFolder) : QDialog(&window), window_(window) {
  setObjectName("frmOpen");
  setWindowTitle(QStringLiteral("Add Files"));

  drives_ = new QComboBox(this);
  drives_->setObjectName("Drive1");
  drives_->setToolTip(QStringLiteral("Mounted drives"));
  connect(drives_, &QComboBox::activated, this, &frmOpen::driveActivated);

  dirs_ = new QFileSystemModel(this);
  dirs_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  dirs_->setReadOnly(true);
  tree_ = new QTreeView(this);
  tree_->setObjectName("Dir1");
  tree_->setModel(dirs_);
  tree_->setHeaderHidden(true);
  for (int c = 1; c < dirs_->columnCount(); ++c) tree_->hideColumn(c);
  // The tree fills in the background: keep the current folder in sight as it does.
  connect(dirs_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
    if (folder_ == path || folder_.startsWith(path.endsWith('/') ? path : path + '/'))
      tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) { folderChosen(index); });

  folderLabel_ = new QLabel(this);
  folderLabel_->setObjectName("lblFolder");
  folderLabel_->setTextFormat(Qt::PlainText);
  folderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  rows_ = new QTreeWidget(this);
  rows_->setObjectName("ListView1");
  rows_->setColumnCount(3);
  rows_->setHeaderLabels({QStringLiteral("No"), QStringLiteral("File Name"), QStringLiteral("Size")});
  rows_->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
  rows_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  // Archives are folders of their own: their members show when one is opened.
  rows_->setRootIsDecorated(true);
  connect(rows_, &QTreeWidget::itemExpanded, this, &frmOpen::listMembers);
  rows_->setUniformRowHeights(true);
  rows_->setAlternatingRowColors(true);
  rows_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
  rows_->header()->setStretchLastSection(false);
  rows_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  rows_->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  rows_->setColumnWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("000000 KB")) + 16);

  add_ = new QPushButton(QStringLiteral("Add Files"), this);
  add_->setObjectName("Command1");
  add_->setIcon(ToolbarIcon(ToolbarPicture::Add));
  add_->setDefault(true);
  connect(add_, &QPushButton::clicked, this, &frmOpen::addSelected);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName("Command2");
  connect(cancel_, &QPushButton::clicked, this, &frmOpen::cancel);
  addFolder_ = new QPushButton(QStringLiteral("Add F&older"), this);
  addFolder_->setObjectName("cmdAddFolder");
  addFolder_->setToolTip(QStringLiteral("Add every file of this folder and its subfolders, in name order"));
  connect(addFolder_, &QPushButton::clicked, this, &frmOpen::addFolder);
  passNote_ = new QLabel(QStringLiteral("Files cannot be added while an analysis runs."), this);
  passNote_->setObjectName("lblPassRunning");
  passNote_->hide();
  connect(&window, &frmVELM::analysingChanged, this, &frmOpen::showPassRunning);

  drives_->setAccessibleName(QStringLiteral("Drive"));
  tree_->setAccessibleName(QStringLiteral("Folder"));
  rows_->setAccessibleName(QStringLiteral("Files"));
  folderLabel_->setAccessibleName(QStringLiteral("Current folder"));

  auto* left = new QWidget(this);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  auto* driveLabel = new QLabel(QStringLiteral("&Drive:"), left);
  driveLabel->setBuddy(drives_);
  auto* treeLabel = new QLabel(QStringLiteral("Fo&lder:"), left);
  treeLabel->setBuddy(tree_);
  leftLayout->addWidget(driveLabel);
  leftLayout->addWidget(drives_);
  leftLayout->addWidget(treeLabel);
  leftLayout->addWidget(tree_, 1);

  auto* right = new QWidget(this);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  auto* rowsLabel = new QLabel(QStringLiteral("&Files:"), right);
  rowsLabel->setBuddy(rows_);
  auto* rowsHeader = new QHBoxLayout;
  rowsHeader->addWidget(rowsLabel);
  rowsHeader->addWidget(folderLabel_, 1);
  rightLayout->addLayout(rowsHeader);
  rightLayout->addWidget(rows_, 1);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(left);
  splitter->addWidget(right);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 5);
  splitter->setChildrenCollapsible(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(passNote_);
  buttons->addStretch(1);
  buttons->addWidget(addFolder_);
  buttons->addWidget(add_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addLayout(buttons);
  resize(820, 460);
  splitter->setSizes({240, 580});

  fillDrives();
  // Form_Load: the rows show the starting folder.
  setFolder(startFolder.isEmpty() ? QDir::currentPath() : startFolder);
  if (folder_.isEmpty()) setFolder(QDir::currentPath());
  if (folder_.isEmpty()) setFolder(QDir::rootPath());
}

QStringList frmOpen::drives() const {
  QStringList roots;
  for (int i = 0; i < drives_->count(); ++i) roots.append(drives_->itemData(i).toString());
  return roots;
}

void frmOpen::fillDrives() {
  QStringList roots{QDir::rootPath()};
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    const QString root = volume.rootPath();
    if (!volume.isValid() || IsSystemMount(root) || roots.contains(root)) continue;
    // Files bind-mounted into a container are no drives.
    if (!QFileInfo(root).isDir()) continue;
    roots.append(root);
  }
  std::sort(roots.begin(), roots.end());
  const QSignalBlocker block(drives_);
  drives_->clear();
  for (const QString& root : roots) {
    QString text = root;
    const QStorageInfo volume(root);
    if (volume.isValid() && !volume.name().isEmpty() && volume.name() != root)
      text += QStringLiteral("   [%1]").arg(volume.name());
    drives_->addItem(text, root);
  }
  showDrive(drive_);
}

void frmOpen::showEvent(QShowEvent* event) {
  // Drives come and go while the dialog is hidden.
  fillDrives();
  QDialog::showEvent(event);
  tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

QString frmOpen::driveOf(const QString& folder) const {
  QString best = QDir::rootPath();
  for (const QString& root : drives()) {
    const bool inside = folder == root || folder.startsWith(root.endsWith('/') ? root : root + '/');
    if (inside && root.size() > best.size()) best = root;
  }
  return best;
}

void frmOpen::showDrive(const QString& root) {
  const QSignalBlocker block(drives_);
  const int item = drives_->findData(root);
  if (item >= 0) drives_->setCurrentIndex(item);
}

void frmOpen::driveActivated(int item) { chooseDrive(drives_->itemData(item).toString()); }

void frmOpen::chooseDrive(const QString& root) {
  std::error_code error;
  fs::directory_iterator probe(QFile::encodeName(root).toStdString(), error);
  if (error) {
    window_.dialogs().message(this, SystemReason(error), QMessageBox::Critical, kTitle);
    showDrive(drive_);
    return;
  }
  const QString last = lastFolderOnDrive_.value(root);
  if (!last.isEmpty() && QFileInfo(last).isDir()) setFolder(last);
  else setFolder(root);
}

void frmOpen::setFolder(const QString& folder) {
  const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
  if (!QFileInfo(clean).isDir()) return;
  const QString drive = driveOf(clean);
  if (drive != drive_) {
    drive_ = drive;
    dirs_->setRootPath(drive);
    tree_->setRootIndex(dirs_->index(drive));
    showDrive(drive);
  }
  const bool changed = clean != folder_;
  // Set before the tree moves, so its signal finds nothing to do.
  folder_ = clean;
  lastFolderOnDrive_[drive] = clean;
  const QModelIndex index = dirs_->index(clean);
  if (index.isValid()) {
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
  }
  if (changed) refillRows();
}

void frmOpen::folderChosen(const QModelIndex& index) {
  const QString path = dirs_->filePath(index);
  if (path.isEmpty() || path == folder_) return;
  setFolder(path);
}

void frmOpen::refillRows() {
  folderLabel_->setText(folder_);
  rows_->clear();

  std::string rawFolder = QFile::encodeName(folder_).toStdString();
  std::vector<FileRow> files;
  std::error_code error;
  fs::directory_iterator it(rawFolder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    // Regular files, hidden ones too, and links to them. A file whose length cannot
    // be read (gone, or out of reach) is left out; the rest are still listed.
    std::error_code fileError;
    if (!it->is_regular_file(fileError) || fileError) continue;
    const std::uintmax_t size = it->file_size(fileError);
    if (fileError) continue;
    std::string rawName = it->path().filename().native();
    files.push_back({QFile::decodeName(QByteArray::fromStdString(rawName)), std::move(rawName), size});
  }
  std::sort(files.begin(), files.end(), [](const FileRow& a, const FileRow& b) {
    const int order = a.name.compare(b.name, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.rawName < b.rawName;
  });

  if (!rawFolder.empty() && rawFolder.back() != '/') rawFolder += '/';
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(files.size()));
  int number = 0;
  for (const FileRow& file : files) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, RowNumberText(++number));
    item->setText(1, FullPath(folder_, file.name));
    item->setText(2, OpenDialogSizeText(file.size));
    item->setData(1, kRawPathRole, QByteArray::fromStdString(rawFolder + file.rawName));
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    if (ContainerKindOf(file.rawName) == ContainerKind::Archive)
      item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    items.append(item);
  }
  rows_->addTopLevelItems(items);
}

void frmOpen::listMembers(QTreeWidgetItem* item) {
  if (!item || item->parent() || item->childCount() > 0) return;
  const std::string archive = item->data(1, kRawPathRole).toByteArray().toStdString();
  auto listing = window_.session().archives().list(archive);
  QList<QTreeWidgetItem*> children;
  std::optional<IoError> failure;
  if (!listing) failure = listing.error();
  else failure = listing->failure;
  if (listing) {
    int number = 0;
    for (const MemberHeader& member : listing->members) {
      // Folders, links and devices inside an archive are not data files.
      if (!member.regular) continue;
      auto* child = new QTreeWidgetItem;
      child->setText(0, RowNumberText(++number));
      child->setText(1, item->text(1) + QChar(kMemberMark) + QString::fromUtf8(member.name.data(), static_cast<qsizetype>(member.name.size())));
      child->setText(2, member.size ? OpenDialogSizeText(*member.size) : QString());
      child->setData(1, kRawPathRole, QByteArray::fromStdString(MemberPathOf(archive, member.name)));
      child->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
      child->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
      children.append(child);
    }
  }
  if (failure) {
    // Why the archive could not be read (to its end), as a row that cannot be chosen.
    auto* note = new QTreeWidgetItem;
    note->setText(1, QString::fromStdString(failure->reason));
    note->setFlags(Qt::NoItemFlags);
    children.append(note);
  }
  if (children.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  item->addChildren(children);
}

void frmOpen::addSelected() {
  if (window_.session().analysing()) return;
  hide();
  // A selected archive adds all its members; a selected member only itself.
  std::vector<std::string> paths;
  for (int row = 0; row < rows_->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = rows_->topLevelItem(row);
    if (item->isSelected()) {
      paths.push_back(item->data(1, kRawPathRole).toByteArray().toStdString());
      continue;
    }
    for (int c = 0; c < item->childCount(); ++c)
      if (item->child(c)->isSelected())
        paths.push_back(item->child(c)->data(1, kRawPathRole).toByteArray().toStdString());
  }
  // Refuses listed paths with one message, adds the rest in row order, clears the totals.
  window_.offerFiles(paths);
}

void frmOpen::addFolder() {
  if (window_.session().analysing()) return;
  hide();
  window_.offerFiles({QFile::encodeName(folder_).toStdString()});
}

void frmOpen::showPassRunning(bool running) {
  add_->setEnabled(!running);
  addFolder_->setEnabled(!running);
  passNote_->setVisible(running);
}

void frmOpen::cancel() { hide(); }

}  // namespace vellmark::ui
