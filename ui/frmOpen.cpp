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
#include <string>
#include <system_error>
#include <vector>

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

frmOpen::frmOpen(frmVELM& window, const QString& startFolder) : QDialog(&window), m_window(window) {
  setObjectName("frmOpen");
  setWindowTitle(QStringLiteral("Add Files"));

  m_drives = new QComboBox(this);
  m_drives->setObjectName("Drive1");
  m_drives->setToolTip(QStringLiteral("Mounted drives"));
  connect(m_drives, &QComboBox::activated, this, &frmOpen::driveActivated);

  m_dirs = new QFileSystemModel(this);
  m_dirs->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  m_dirs->setReadOnly(true);
  m_tree = new QTreeView(this);
  m_tree->setObjectName("Dir1");
  m_tree->setModel(m_dirs);
  m_tree->setHeaderHidden(true);
  for (int c = 1; c < m_dirs->columnCount(); ++c) m_tree->hideColumn(c);
  // The tree fills in the background: keep the current folder in sight as it does.
  connect(m_dirs, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
    if (m_folder == path || m_folder.startsWith(path.endsWith('/') ? path : path + '/'))
      m_tree->scrollTo(m_tree->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) { folderChosen(index); });

  m_folderLabel = new QLabel(this);
  m_folderLabel->setObjectName("lblFolder");
  m_folderLabel->setTextFormat(Qt::PlainText);
  m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  m_rows = new QTreeWidget(this);
  m_rows->setObjectName("ListView1");
  m_rows->setColumnCount(3);
  m_rows->setHeaderLabels({QStringLiteral("No"), QStringLiteral("File Name"), QStringLiteral("Size")});
  m_rows->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
  m_rows->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  m_rows->setRootIsDecorated(false);
  m_rows->setUniformRowHeights(true);
  m_rows->setAlternatingRowColors(true);
  m_rows->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_rows->header()->setStretchLastSection(false);
  m_rows->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  m_rows->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  m_rows->setColumnWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("000000 KB")) + 16);

  m_add = new QPushButton(QStringLiteral("Add Files"), this);
  m_add->setObjectName("Command1");
  m_add->setIcon(ToolbarIcon(ToolbarPicture::Add));
  m_add->setDefault(true);
  connect(m_add, &QPushButton::clicked, this, &frmOpen::addSelected);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_cancel->setObjectName("Command2");
  connect(m_cancel, &QPushButton::clicked, this, &frmOpen::cancel);

  auto* left = new QWidget(this);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  auto* driveLabel = new QLabel(QStringLiteral("&Drive:"), left);
  driveLabel->setBuddy(m_drives);
  auto* treeLabel = new QLabel(QStringLiteral("F&older:"), left);
  treeLabel->setBuddy(m_tree);
  leftLayout->addWidget(driveLabel);
  leftLayout->addWidget(m_drives);
  leftLayout->addWidget(treeLabel);
  leftLayout->addWidget(m_tree, 1);

  auto* right = new QWidget(this);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  auto* rowsLabel = new QLabel(QStringLiteral("&Files:"), right);
  rowsLabel->setBuddy(m_rows);
  auto* rowsHeader = new QHBoxLayout;
  rowsHeader->addWidget(rowsLabel);
  rowsHeader->addWidget(m_folderLabel, 1);
  rightLayout->addLayout(rowsHeader);
  rightLayout->addWidget(m_rows, 1);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(left);
  splitter->addWidget(right);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 5);
  splitter->setChildrenCollapsible(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_add);
  buttons->addWidget(m_cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addLayout(buttons);
  resize(820, 460);
  splitter->setSizes({240, 580});

  fillDrives();
  // Form_Load: the rows show the starting folder.
  setFolder(startFolder.isEmpty() ? QDir::currentPath() : startFolder);
  if (m_folder.isEmpty()) setFolder(QDir::rootPath());
}

QStringList frmOpen::drives() const {
  QStringList roots;
  for (int i = 0; i < m_drives->count(); ++i) roots.append(m_drives->itemData(i).toString());
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
  const QSignalBlocker block(m_drives);
  m_drives->clear();
  for (const QString& root : roots) {
    QString text = root;
    const QStorageInfo volume(root);
    if (volume.isValid() && !volume.name().isEmpty() && volume.name() != root)
      text += QStringLiteral("   [%1]").arg(volume.name());
    m_drives->addItem(text, root);
  }
  showDrive(m_drive);
}

void frmOpen::showEvent(QShowEvent* event) {
  // Drives come and go while the dialog is hidden.
  fillDrives();
  QDialog::showEvent(event);
  m_tree->scrollTo(m_tree->currentIndex(), QAbstractItemView::PositionAtCenter);
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
  const QSignalBlocker block(m_drives);
  const int item = m_drives->findData(root);
  if (item >= 0) m_drives->setCurrentIndex(item);
}

void frmOpen::driveActivated(int item) { chooseDrive(m_drives->itemData(item).toString()); }

void frmOpen::chooseDrive(const QString& root) {
  std::error_code error;
  fs::directory_iterator probe(QFile::encodeName(root).toStdString(), error);
  if (error) {
    m_window.dialogs().message(this, SystemReason(error), QMessageBox::Critical, kTitle);
    showDrive(m_drive);
    return;
  }
  const QString last = m_lastFolderOnDrive.value(root);
  if (!last.isEmpty() && QFileInfo(last).isDir()) setFolder(last);
  else setFolder(root);
}

void frmOpen::setFolder(const QString& folder) {
  const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
  if (!QFileInfo(clean).isDir()) return;
  const QString drive = driveOf(clean);
  if (drive != m_drive) {
    m_drive = drive;
    m_dirs->setRootPath(drive);
    m_tree->setRootIndex(m_dirs->index(drive));
    showDrive(drive);
  }
  const bool changed = clean != m_folder;
  // Set before the tree moves, so its signal finds nothing to do.
  m_folder = clean;
  m_lastFolderOnDrive[drive] = clean;
  const QModelIndex index = m_dirs->index(clean);
  if (index.isValid()) {
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
  }
  if (changed) refillRows();
}

void frmOpen::folderChosen(const QModelIndex& index) {
  const QString path = m_dirs->filePath(index);
  if (path.isEmpty() || path == m_folder) return;
  setFolder(path);
}

void frmOpen::refillRows() {
  m_folderLabel->setText(m_folder);
  m_rows->clear();

  std::string rawFolder = QFile::encodeName(m_folder).toStdString();
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
    item->setText(1, FullPath(m_folder, file.name));
    item->setText(2, OpenDialogSizeText(file.size));
    item->setData(1, kRawPathRole, QByteArray::fromStdString(rawFolder + file.rawName));
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    items.append(item);
  }
  m_rows->addTopLevelItems(items);
}

void frmOpen::addSelected() {
  if (m_window.session().analysing()) return;
  hide();
  std::vector<std::string> paths;
  for (int row = 0; row < m_rows->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = m_rows->topLevelItem(row);
    if (item->isSelected()) paths.push_back(item->data(1, kRawPathRole).toByteArray().toStdString());
  }
  // Refuses listed paths with one message, adds the rest in row order, clears the totals.
  m_window.offerFiles(paths);
}

void frmOpen::cancel() { hide(); }

}  // namespace vellmark::ui
