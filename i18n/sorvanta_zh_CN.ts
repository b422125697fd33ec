<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
    <context>
        <name>ChannelMetersItem</name>
        <message>
            <source>CHANNEL LEVELS</source>
            <translation>通道电平</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>正在等待采样</translation>
        </message>
    </context>
    <context>
        <name>SpectrogramItem</name>
        <message>
            <source>SPECTRUM PREVIEW</source>
            <translation>频谱预览</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>正在等待采样</translation>
        </message>
    </context>
    <context>
        <name>FilePickerDialog</name>
        <message>
            <source>Cannot open folder: </source>
            <translation>无法打开文件夹：</translation>
        </message>
        <message>
            <source>New Folder</source>
            <translation>新建文件夹</translation>
        </message>
        <message>
            <source>Cannot create folder here</source>
            <translation>无法在此处创建文件夹</translation>
        </message>
        <message>
            <source>A folder with this name already exists</source>
            <translation>已存在同名文件夹</translation>
        </message>
        <message>
            <source>Invalid folder name</source>
            <translation>文件夹名称无效</translation>
        </message>
        <message>
            <source>Selected: </source>
            <translation>已选择：</translation>
        </message>
        <message>
            <source>Enter a file name</source>
            <translation>请输入文件名</translation>
        </message>
        <message>
            <source>Save to: </source>
            <translation>保存到：</translation>
        </message>
        <message>
            <source>Select a file</source>
            <translation>请选择文件</translation>
        </message>
        <message>
            <source>Up</source>
            <translation>上一级</translation>
        </message>
        <message>
            <source>Empty folder</source>
            <translation>空文件夹</translation>
        </message>
        <message>
            <source>File name:</source>
            <translation>文件名：</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>确定</translation>
        </message>
    </context>
    <context>
        <name>MeasurementsPage</name>
        <message>
            <source>Location: %1</source>
            <translation>地点：%1</translation>
        </message>
        <message>
            <source>Scene: %1</source>
            <translation>场景：%1</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>项目</translation>
        </message>
        <message>
            <source>Open or create a local Sorvanta project</source>
            <translation>打开或创建本地 Sorvanta 项目</translation>
        </message>
        <message>
            <source>New</source>
            <translation>新建</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>打开</translation>
        </message>
        <message>
            <source>Recent</source>
            <translation>最近</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>刷新</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>删除</translation>
        </message>
        <message>
            <source>MEASUREMENTS</source>
            <translation>测量</translation>
        </message>
        <message>
            <source>manifest index</source>
            <translation>清单索引</translation>
        </message>
        <message>
            <source>No Measurements in this Project</source>
            <translation>此项目中没有测量</translation>
        </message>
        <message>
            <source>No Project open</source>
            <translation>未打开项目</translation>
        </message>
        <message>
            <source>Measurement inspector</source>
            <translation>测量检查器</translation>
        </message>
        <message>
            <source>Historical data is interpreted with its frozen Device Profile, never the current Live Profile.</source>
            <translation>历史数据始终按其冻结的设备配置解释，绝不使用当前实时配置。</translation>
        </message>
        <message>
            <source>Immutable Measurement</source>
            <translation>不可变测量</translation>
        </message>
        <message>
            <source>FROZEN DEVICE PROFILE</source>
            <translation>冻结的设备配置</translation>
        </message>
        <message>
            <source>Recorded profile hash  %1</source>
            <translation>记录的配置哈希  %1</translation>
        </message>
        <message>
            <source>Geometry hash  %1</source>
            <translation>几何哈希  %1</translation>
        </message>
        <message>
            <source>RAW ASSET PRESENT  ·  Recorded raw hash  %1</source>
            <translation>原始数据存在  ·  记录的原始数据哈希  %1</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING  ·  Recorded raw hash  %1</source>
            <translation>原始数据缺失  ·  记录的原始数据哈希  %1</translation>
        </message>
        <message>
            <source>Manage Measurement</source>
            <translation>管理测量</translation>
        </message>
        <message>
            <source>Alias/notes are metadata only - raw payload and hashes stay immutable</source>
            <translation>别名/备注仅为元数据 - 原始数据和哈希保持不变</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>回放</translation>
        </message>
        <message>
            <source>Rename</source>
            <translation>重命名</translation>
        </message>
        <message>
            <source>Note</source>
            <translation>备注</translation>
        </message>
        <message>
            <source>Alias: %1</source>
            <translation>别名：%1</translation>
        </message>
        <message>
            <source>Select a valid Measurement</source>
            <translation>请选择一个有效的测量</translation>
        </message>
        <message>
            <source>Open a Project to inspect its Measurements</source>
            <translation>打开项目以检查其测量</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>无效</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING · %1 ch · %2 Hz</source>
            <translation>原始数据缺失 · %1 通道 · %2 Hz</translation>
        </message>
        <message>
            <source>profile unknown</source>
            <translation>配置未知</translation>
        </message>
        <message>
            <source>video</source>
            <translation>视频</translation>
        </message>
        <message>
            <source>Select Sorvanta Project Directory</source>
            <translation>选择 Sorvanta 项目目录</translation>
        </message>
        <message>
            <source>Cannot Create Project</source>
            <translation>无法创建项目</translation>
        </message>
        <message>
            <source>Create Sorvanta Project</source>
            <translation>创建 Sorvanta 项目</translation>
        </message>
        <message>
            <source>The selected folder becomes the Project root (must be empty). The Project name below is the display name.</source>
            <translation>所选文件夹将成为项目根目录（必须为空）。下面的项目名称为显示名称。</translation>
        </message>
        <message>
            <source>Project name</source>
            <translation>项目名称</translation>
        </message>
        <message>
            <source>Project Found in Subfolder</source>
            <translation>在子文件夹中找到项目</translation>
        </message>
        <message>
            <source>The selected folder does not contain a project, but the following project was found inside it. Open it?</source>
            <translation>所选文件夹不包含项目，但在其中找到了以下项目。是否打开？</translation>
        </message>
        <message>
            <source>No Project in Folder</source>
            <translation>文件夹中没有项目</translation>
        </message>
        <message>
            <source>There is no project in the selected folder:
%1

Create a new project here?</source>
            <translation>所选文件夹中没有项目：
%1

是否在此处创建新项目？</translation>
        </message>
        <message>
            <source>Delete Project</source>
            <translation>删除项目</translation>
        </message>
        <message>
            <source>Permanently delete project "%1"?

All Measurements, raw recordings, video tracks and AnalysisRuns under
%2
are removed from disk. This cannot be undone.</source>
            <translation>永久删除项目“%1”？

以下位置的所有测量、原始录音、视频轨道和分析运行
%2
都将从磁盘中删除。此操作无法撤销。</translation>
        </message>
        <message>
            <source>Rename Measurement</source>
            <translation>重命名测量</translation>
        </message>
        <message>
            <source>Display alias (empty clears it). The measurement id and raw payload never change.</source>
            <translation>显示别名（留空则清除）。测量 ID 和原始数据永不改变。</translation>
        </message>
        <message>
            <source>Measurement Note</source>
            <translation>测量备注</translation>
        </message>
        <message>
            <source>Time</source>
            <translation>时间</translation>
        </message>
        <message>
            <source>Location</source>
            <translation>地点</translation>
        </message>
        <message>
            <source>Building / room / site</source>
            <translation>建筑 / 房间 / 现场</translation>
        </message>
        <message>
            <source>Scene</source>
            <translation>场景</translation>
        </message>
        <message>
            <source>Remarks</source>
            <translation>说明</translation>
        </message>
        <message>
            <source>Test conditions, source position, observations...</source>
            <translation>测试条件、声源位置、观察记录……</translation>
        </message>
        <message>
            <source>Delete Measurement</source>
            <translation>删除测量</translation>
        </message>
        <message>
            <source>Permanently delete %1?

Raw recording, video track and all AnalysisRuns are removed from disk. This cannot be undone.</source>
            <translation>永久删除 %1？

原始录音、视频轨道和所有分析运行都将从磁盘中删除。此操作无法撤销。</translation>
        </message>
        <message numerus="yes">
            <source>%n measurement</source>
            <translation>
                <numerusform>%n 个测量</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n measurements</source>
            <translation>
                <numerusform>%n 个测量</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%1 ch · %2 Hz · %n analysis</source>
            <translation>
                <numerusform>%1 通道 · %2 Hz · %n 个分析</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%1 ch · %2 Hz · %n analyses</source>
            <translation>
                <numerusform>%1 通道 · %2 Hz · %n 个分析</numerusform>
            </translation>
        </message>
    </context>
    <context>
        <name>Theme</name>
        <message>
            <source>Abyss Black</source>
            <translation>深渊黑</translation>
        </message>
        <message>
            <source>Deep Blue</source>
            <translation>深蓝</translation>
        </message>
        <message>
            <source>Graphite Gray</source>
            <translation>石墨灰</translation>
        </message>
        <message>
            <source>Slate Copper</source>
            <translation>板岩铜</translation>
        </message>
        <message>
            <source>Mist Cyan</source>
            <translation>雾青</translation>
        </message>
        <message>
            <source>Midnight Teal</source>
            <translation>午夜青绿</translation>
        </message>
        <message>
            <source>Carbon Amber</source>
            <translation>碳琥珀</translation>
        </message>
        <message>
            <source>Medical</source>
            <translation>医疗</translation>
        </message>
        <message>
            <source>Light</source>
            <translation>浅色</translation>
        </message>
    </context>
    <context>
        <name>ThemedDialog</name>
        <message>
            <source>OK</source>
            <translation>确定</translation>
        </message>
        <message>
            <source>Yes</source>
            <translation>是</translation>
        </message>
        <message>
            <source>No</source>
            <translation>否</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>关闭</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
    </context>
    <context>
        <name>UiController</name>
        <message>
            <source>No data from the array for %1 s</source>
            <translation>阵列已 %1 秒无数据</translation>
        </message>
        <message>
            <source>Recording stopped: no data from the array for %1 s</source>
            <translation>录制已停止：阵列已 %1 秒无数据</translation>
        </message>
        <message>
            <source>Only rejected datagrams from the array for %1 s: their length does not match the Device Profile (%2 bytes expected)</source>
            <translation>%1 秒内阵列只发来被拒收的数据报：长度与设备配置文件不符（应为 %2 字节）</translation>
        </message>
        <message>
            <source>Recording stopped: only rejected datagrams from the array for %1 s</source>
            <translation>录制已停止：%1 秒内阵列只发来被拒收的数据报</translation>
        </message>
        <message>
            <source>Data from the array again after %1 s</source>
            <translation>阵列在 %1 秒后恢复数据</translation>
        </message>
        <message>
            <source>Datagrams from another sender ignored: %1 bytes from %2; the array&apos;s stream goes on</source>
            <translation>已忽略来自其他发送方的数据报：%1 字节，来自 %2；阵列的数据流继续</translation>
        </message>
        <message>
            <source>First data from the array after %1 s</source>
            <translation>阵列在 %1 秒后首次发来数据</translation>
        </message>
        <message>
            <source>Datagrams rejected: their length does not match the Device Profile (%1 bytes expected, %2 rejected so far)</source>
            <translation>数据报被拒收：长度与设备配置文件不符（应为 %1 字节，至今已拒收 %2 个）</translation>
        </message>
        <message>
            <source>Measurement %1 names no raw file</source>
            <translation>测量 %1 未指定原始文件</translation>
        </message>
        <message>
            <source>Raw file %1 of Measurement %2 is missing</source>
            <translation>测量 %2 的原始文件 %1 缺失</translation>
        </message>
        <message>
            <source>Raw file %1 of Measurement %2 is not a regular file</source>
            <translation>测量 %2 的原始文件 %1 不是普通文件</translation>
        </message>
        <message>
            <source>Live stopped</source>
            <translation>实时已停止</translation>
        </message>
        <message>
            <source>Not calibrated</source>
            <translation>未校准</translation>
        </message>
        <message>
            <source>Waiting for raw samples</source>
            <translation>正在等待原始采样数据</translation>
        </message>
        <message>
            <source>Load a validated Device Profile to begin</source>
            <translation>请加载经过验证的设备配置文件以开始</translation>
        </message>
        <message>
            <source>Device Profile validated; system ready to start</source>
            <translation>设备配置文件已验证；系统已就绪，可以开始</translation>
        </message>
        <message>
            <source>Profile validation failed: %1</source>
            <translation>配置文件验证失败：%1</translation>
        </message>
        <message>
            <source>Select a directory for the new Project</source>
            <translation>请为新项目选择一个目录</translation>
        </message>
        <message>
            <source>The selected directory already contains a Project</source>
            <translation>所选目录中已有项目</translation>
        </message>
        <message>
            <source>The selected path is not a directory</source>
            <translation>所选路径不是目录</translation>
        </message>
        <message>
            <source>The selected directory is not empty - choose an empty directory for a new Project</source>
            <translation>所选目录不为空 - 请为新项目选择一个空目录</translation>
        </message>
        <message>
            <source>Project no longer exists at %1 - removed from Recent</source>
            <translation>项目已不在 %1 - 已从最近项目中移除</translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): the Measurement list was rebuilt from %n Measurement folder but could not be saved (%2), project.json was left as it was</source>
            <translation>
                <numerusform>无法读取 project.json（%1）：已根据 %n 个测量文件夹重建测量列表，但无法保存（%2），project.json 保持原样</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): the Measurement list was rebuilt from %n Measurement folders but could not be saved (%2), project.json was left as it was</source>
            <translation>
                <numerusform>无法读取 project.json（%1）：已根据 %n 个测量文件夹重建测量列表，但无法保存（%2），project.json 保持原样</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json was missing beside its damaged copy: the Measurement list was rebuilt from %n Measurement folder</source>
            <translation>
                <numerusform>project.json 缺失，只有其损坏的副本：已根据 %n 个测量文件夹重建测量列表</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json was missing beside its damaged copy: the Measurement list was rebuilt from %n Measurement folders</source>
            <translation>
                <numerusform>project.json 缺失，只有其损坏的副本：已根据 %n 个测量文件夹重建测量列表</numerusform>
            </translation>
        </message>
        <message>
            <source>The folder of this Project takes no file locks (%1): it cannot guard the Project against a second program using it at the same time</source>
            <translation>此项目的文件夹不支持文件锁（%1）：无法防止另一个程序同时使用该项目</translation>
        </message>
        <message>
            <source>project.json lists %1, which is not a Measurement folder of this Project: %2</source>
            <translation>project.json 列出了 %1，但它不是此项目的测量文件夹：%2</translation>
        </message>
        <message>
            <source>Project %1 was not deleted: another program is using %2</source>
            <translation>项目 %1 未删除：另一个程序正在使用 %2</translation>
        </message>
        <message>
            <source>Project %1 was not deleted: another program changed %2 in the meantime</source>
            <translation>项目 %1 未删除：另一个程序在此期间更改了 %2</translation>
        </message>
        <message>
            <source>another program has held the lock of this Project for more than %1 s</source>
            <translation>另一个程序占用此项目的锁已超过 %1 秒</translation>
        </message>
        <message>
            <source>Open Project failed: %1</source>
            <translation>打开项目失败：%1</translation>
        </message>
        <message>
            <source>Diagnostics export failed: cannot create folder</source>
            <translation>诊断导出失败：无法创建文件夹</translation>
        </message>
        <message>
            <source>Diagnostics export failed: %1</source>
            <translation>诊断导出失败：%1</translation>
        </message>
        <message>
            <source>Diagnostics bundle exported: %1</source>
            <translation>诊断包已导出：%1</translation>
        </message>
        <message>
            <source>Backup failed: cannot create folder</source>
            <translation>备份失败：无法创建文件夹</translation>
        </message>
        <message>
            <source>Backup failed: %1</source>
            <translation>备份失败：%1</translation>
        </message>
        <message>
            <source>Settings backup written: %1</source>
            <translation>设置备份已写入：%1</translation>
        </message>
        <message>
            <source>Open diagnostics folder failed: %1</source>
            <translation>打开诊断文件夹失败：%1</translation>
        </message>
        <message>
            <source>Unsaved analysis result discarded</source>
            <translation>未保存的分析结果已丢弃</translation>
        </message>
        <message>
            <source>Calibrated %1</source>
            <translation>已校准 %1</translation>
        </message>
        <message>
            <source>Calibrated for another device profile - recalibrate</source>
            <translation>已针对其他设备配置校准 - 请重新校准</translation>
        </message>
        <message>
            <source>Delete failed: files are locked under %1 - the Project was kept open</source>
            <translation>删除失败：%1 下的文件被锁定 - 项目保持打开</translation>
        </message>
        <message>
            <source>Open or create a Project first</source>
            <translation>请先打开或创建项目</translation>
        </message>
        <message>
            <source>Auto white balance turned off so the manual colour setting stays applied</source>
            <translation>已关闭自动白平衡，以保持手动色彩设置生效</translation>
        </message>
        <message>
            <source>Save AnalysisRun failed: %1</source>
            <translation>保存分析运行失败：%1</translation>
        </message>
        <message>
            <source>AnalysisRun saved: %1</source>
            <translation>分析运行已保存：%1</translation>
        </message>
        <message>
            <source>Analysis window is shorter than one analysis frame</source>
            <translation>分析窗口短于一个分析帧</translation>
        </message>
        <message>
            <source>Analysis computed - not saved yet: %1</source>
            <translation>分析已完成 - 尚未保存：%1</translation>
        </message>
        <message>
            <source>Noise floor not subtracted: it was calibrated with %1-point frames, this analysis uses %2-point frames</source>
            <translation>未扣除背景噪声：它以 %1 点帧校准，本次分析使用 %2 点帧</translation>
        </message>
        <message>
            <source>Process memory</source>
            <translation>进程内存</translation>
        </message>
        <message>
            <source>UDP datagrams</source>
            <translation>UDP 数据报</translation>
        </message>
        <message>
            <source>UDP received</source>
            <translation>UDP 已接收</translation>
        </message>
        <message>
            <source>Datagrams rejected / rx errors</source>
            <translation>被拒数据报 / 接收错误</translation>
        </message>
        <message>
            <source>Datagrams dropped on overflow</source>
            <translation>因溢出丢弃的数据报</translation>
        </message>
        <message>
            <source>Ingress pending frames</source>
            <translation>输入待处理帧</translation>
        </message>
        <message>
            <source>DSP queue occupancy / drop</source>
            <translation>DSP 队列占用 / 丢弃</translation>
        </message>
        <message>
            <source>Diagnostic queue drop</source>
            <translation>诊断队列丢弃</translation>
        </message>
        <message>
            <source>Processed frames</source>
            <translation>已处理帧</translation>
        </message>
        <message>
            <source>Maps published</source>
            <translation>已发布声像图</translation>
        </message>
        <message>
            <source>BF avg/p50/p95/p99/max</source>
            <translation>波束形成 平均/p50/p95/p99/最大</translation>
        </message>
        <message>
            <source>Map overwrite / DSP errors</source>
            <translation>声像图覆盖 / DSP 错误</translation>
        </message>
        <message>
            <source>Recording rate</source>
            <translation>录制速率</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>回放</translation>
        </message>
        <message>
            <source>Array profile</source>
            <translation>阵列配置</translation>
        </message>
        <message>
            <source>Measurements / Analysis runs</source>
            <translation>测量 / 分析运行</translation>
        </message>
        <message>
            <source>Exported map.csv + export.json to %1</source>
            <translation>已导出 map.csv + export.json 到 %1</translation>
        </message>
        <message>
            <source>Export failed: %1</source>
            <translation>导出失败：%1</translation>
        </message>
        <message>
            <source>Base loading</source>
            <translation>基础加载</translation>
        </message>
        <message>
            <source>Diagonal loading</source>
            <translation>对角加载</translation>
        </message>
        <message>
            <source>Diagonal removal</source>
            <translation>去除对角线</translation>
        </message>
        <message>
            <source>Eigen floor</source>
            <translation>特征值下限</translation>
        </message>
        <message>
            <source>Eigen tolerance</source>
            <translation>特征值容差</translation>
        </message>
        <message>
            <source>Eigenvalue floor</source>
            <translation>特征值下限</translation>
        </message>
        <message>
            <source>Estimator (1 MDL, 2 AIC, 3 gap)</source>
            <translation>估计器（1 MDL，2 AIC，3 间隙）</translation>
        </message>
        <message>
            <source>Functional order</source>
            <translation>泛函阶数</translation>
        </message>
        <message>
            <source>Grid stride</source>
            <translation>网格步长</translation>
        </message>
        <message>
            <source>Iterations</source>
            <translation>迭代次数</translation>
        </message>
        <message>
            <source>Lambda (rel)</source>
            <translation>λ（相对）</translation>
        </message>
        <message>
            <source>Loop gain</source>
            <translation>环路增益</translation>
        </message>
        <message>
            <source>Max iterations</source>
            <translation>最大迭代次数</translation>
        </message>
        <message>
            <source>Max modes</source>
            <translation>最大模态数</translation>
        </message>
        <message>
            <source>Max sources</source>
            <translation>最大声源数</translation>
        </message>
        <message>
            <source>Noise (rel)</source>
            <translation>噪声（相对）</translation>
        </message>
        <message>
            <source>PHAT exponent</source>
            <translation>PHAT 指数</translation>
        </message>
        <message>
            <source>PHAT floor</source>
            <translation>PHAT 下限</translation>
        </message>
        <message>
            <source>PHAT zero diagonal</source>
            <translation>PHAT 对角置零</translation>
        </message>
        <message>
            <source>Prune (rel)</source>
            <translation>剪枝（相对）</translation>
        </message>
        <message>
            <source>Relative eigen</source>
            <translation>相对特征值</translation>
        </message>
        <message>
            <source>Relaxation</source>
            <translation>松弛系数</translation>
        </message>
        <message>
            <source>Source count</source>
            <translation>声源数</translation>
        </message>
        <message>
            <source>Spectrum floor</source>
            <translation>谱下限</translation>
        </message>
        <message>
            <source>Stop level</source>
            <translation>停止电平</translation>
        </message>
        <message>
            <source>Tolerance</source>
            <translation>容差</translation>
        </message>
        <message>
            <source>Uncertainty</source>
            <translation>不确定度</translation>
        </message>
        <message>
            <source>Uncertainty gain</source>
            <translation>不确定度增益</translation>
        </message>
        <message>
            <source>Diagnostics error: %1</source>
            <translation>诊断错误：%1</translation>
        </message>
        <message>
            <source>UDP receive stopped: %1</source>
            <translation>UDP 接收已停止：%1</translation>
        </message>
        <message>
            <source>Acquisition error: %1</source>
            <translation>采集错误：%1</translation>
        </message>
        <message>
            <source>unknown error</source>
            <translation>未知错误</translation>
        </message>
        <message>
            <source>Live sample gap detected; continuity window restarted</source>
            <translation>检测到实时采样中断；连续性窗口已重新开始</translation>
        </message>
        <message>
            <source>DSP error: %1</source>
            <translation>DSP 错误：%1</translation>
        </message>
        <message>
            <source>Map render error: %1</source>
            <translation>声学图渲染错误：%1</translation>
        </message>
        <message>
            <source>Replay stopped</source>
            <translation>回放已停止</translation>
        </message>
        <message>
            <source>Replay map error: %1</source>
            <translation>回放声学图错误：%1</translation>
        </message>
        <message>
            <source>Cannot read %1: %2</source>
            <translation>无法读取 %1：%2</translation>
        </message>
        <message>
            <source>%1 failed: %2</source>
            <translation>%1失败：%2</translation>
        </message>
        <message>
            <source>invalid file name "%1"</source>
            <translation>无效的文件名“%1”</translation>
        </message>
        <message>
            <source>only %1 of %2 bytes written</source>
            <translation>仅写入了 %2 字节中的 %1 字节</translation>
        </message>
        <message>
            <source>Select a Measurement to create an AnalysisRun</source>
            <translation>请选择一个测量以创建分析运行</translation>
        </message>
        <message>
            <source>Stop the active session before resetting settings</source>
            <translation>重置设置前请先停止当前会话</translation>
        </message>
        <message>
            <source>Display and acquisition defaults restored</source>
            <translation>显示和采集设置已恢复默认值</translation>
        </message>
        <message>
            <source>Reset defaults failed: %1</source>
            <translation>恢复默认值失败：%1</translation>
        </message>
        <message>
            <source>Unsupported analysis algorithm: %1</source>
            <translation>不支持的分析算法：%1</translation>
        </message>
        <message>
            <source>Parameter %1 is not part of the selected algorithm</source>
            <translation>参数 %1 不属于所选算法</translation>
        </message>
        <message>
            <source>Invalid value for %1</source>
            <translation>%1 的值无效</translation>
        </message>
        <message>
            <source>Parameter update failed: %1</source>
            <translation>参数更新失败：%1</translation>
        </message>
        <message>
            <source>%1-%2 Hz · %3 bins</source>
            <translation>%1-%2 Hz · %3 个频点</translation>
        </message>
        <message>
            <source>focus %1 m</source>
            <translation>聚焦 %1 m</translation>
        </message>
        <message>
            <source>far field</source>
            <translation>远场</translation>
        </message>
        <message>
            <source>%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8 dB</source>
            <translation>%1 v%2 · %3 · 帧 %4 / 跳 %5 · 网格 %6° · %7 · 峰值 %8 dB</translation>
        </message>
        <message>
            <source>full</source>
            <comment>recompute</comment>
            <translation>完整</translation>
        </message>
        <message>
            <source>fast</source>
            <comment>recompute</comment>
            <translation>快速</translation>
        </message>
        <message>
            <source>%1 recompute · %2 input / %3 processed frames · raw %4 · Profile %5 %6 · build %7</source>
            <translation>%1重算 · 输入 %2 帧 / 已处理 %3 帧 · 原始数据 %4 · 配置 %5 %6 · 构建 %7</translation>
        </message>
        <message>
            <source>No AnalysisRun yet · Full Recompute creates an immutable run</source>
            <translation>尚无分析运行 · 完整重算会创建一个不可更改的运行</translation>
        </message>
        <message numerus="yes">
            <source>%n independent AnalysisRun</source>
            <translation>
                <numerusform>%n 个独立的分析运行</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n independent AnalysisRuns</source>
            <translation>
                <numerusform>%n 个独立的分析运行</numerusform>
            </translation>
        </message>
        <message>
            <source>AnalysisRun selected: %1</source>
            <translation>已选择分析运行：%1</translation>
        </message>
        <message>
            <source>Open AnalysisRun result failed: %1</source>
            <translation>打开分析运行结果失败：%1</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before opening an AnalysisRun</source>
            <translation>请等待完整重算结束后再打开分析运行</translation>
        </message>
        <message>
            <source>Stop the active Replay before opening an AnalysisRun</source>
            <translation>打开分析运行前请先停止当前回放</translation>
        </message>
        <message>
            <source>Measurement not found: %1</source>
            <translation>未找到测量：%1</translation>
        </message>
        <message>
            <source>AnalysisRun not found: %1</source>
            <translation>未找到分析运行：%1</translation>
        </message>
        <message>
            <source>Open AnalysisRun failed: %1</source>
            <translation>打开分析运行失败：%1</translation>
        </message>
        <message>
            <source>AnalysisRun list refresh failed: %1</source>
            <translation>刷新分析运行列表失败：%1</translation>
        </message>
        <message>
            <source>Warning: AnalysisRun %1 is saved, but the disk did not confirm its folder; a power cut could still lose it</source>
            <translation>警告：分析运行 %1 已保存，但磁盘未确认其文件夹；断电仍可能导致其丢失</translation>
        </message>
        <message>
            <source>Select an AnalysisRun before exporting</source>
            <translation>导出前请先选择一个分析运行</translation>
        </message>
        <message>
            <source>Warning: the export is in place, but the disk did not confirm its folder; a power cut could still lose it</source>
            <translation>警告：导出已完成，但磁盘未确认其文件夹；断电仍可能导致其丢失</translation>
        </message>
        <message>
            <source>Single bin</source>
            <translation>单频点</translation>
        </message>
        <message>
            <source>Custom bandwidth</source>
            <translation>自定义带宽</translation>
        </message>
        <message>
            <source>1/3 octave</source>
            <translation>1/3 倍频程</translation>
        </message>
        <message>
            <source>Beamforming parameter update failed: %1</source>
            <translation>波束形成参数更新失败：%1</translation>
        </message>
        <message>
            <source>Frequency band pending at DSP boundary: %1</source>
            <translation>频带将在 DSP 边界生效：%1</translation>
        </message>
        <message>
            <source>Frequency-band update failed: %1</source>
            <translation>频带更新失败：%1</translation>
        </message>
        <message>
            <source>Algorithm selection</source>
            <translation>算法选择</translation>
        </message>
        <message>
            <source>%1 is contract-only and not executable yet; %2 remains active</source>
            <translation>%1 仅为约定接口，尚不可执行；%2 保持生效</translation>
        </message>
        <message>
            <source>Algorithm selected: %1</source>
            <translation>已选择算法：%1</translation>
        </message>
        <message>
            <source>Parameter update</source>
            <translation>参数更新</translation>
        </message>
        <message>
            <source>Parameter %1 updated</source>
            <translation>参数 %1 已更新</translation>
        </message>
        <message>
            <source>Focus distance update</source>
            <translation>聚焦距离更新</translation>
        </message>
        <message>
            <source>Focus distance: %1</source>
            <translation>聚焦距离：%1</translation>
        </message>
        <message>
            <source>Air temperature update</source>
            <translation>气温更新</translation>
        </message>
        <message>
            <source>Diagonal removal update</source>
            <translation>去除对角线设置更新</translation>
        </message>
        <message>
            <source>Diagonal removal ON</source>
            <translation>去除对角线：开</translation>
        </message>
        <message>
            <source>Diagonal removal OFF</source>
            <translation>去除对角线：关</translation>
        </message>
        <message>
            <source>Confidence threshold update</source>
            <translation>置信阈值更新</translation>
        </message>
        <message>
            <source>Averaging update</source>
            <translation>平均时间更新</translation>
        </message>
        <message>
            <source>Averaging update failed: %1</source>
            <translation>平均时间更新失败：%1</translation>
        </message>
        <message>
            <source>Replay averaging update failed: %1</source>
            <translation>回放平均时间更新失败：%1</translation>
        </message>
        <message>
            <source>Frequency update</source>
            <translation>频率更新</translation>
        </message>
        <message>
            <source>Frequency band update</source>
            <translation>频带更新</translation>
        </message>
        <message>
            <source>Azimuth update</source>
            <translation>方位角更新</translation>
        </message>
        <message>
            <source>Elevation update</source>
            <translation>俯仰角更新</translation>
        </message>
        <message>
            <source>cannot write %1</source>
            <translation>无法写入 %1</translation>
        </message>
        <message numerus="yes">
            <source>%n UVC camera device available</source>
            <translation>
                <numerusform>有 %n 个 UVC 摄像头可用</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n UVC camera devices available</source>
            <translation>
                <numerusform>有 %n 个 UVC 摄像头可用</numerusform>
            </translation>
        </message>
        <message>
            <source>No UVC camera detected; press Refresh after connecting one</source>
            <translation>未检测到 UVC 摄像头；连接后请点击“刷新”</translation>
        </message>
        <message>
            <source>Camera listing failed: %1</source>
            <translation>列出摄像头失败：%1</translation>
        </message>
        <message>
            <source>UVC parameters unavailable: %1</source>
            <translation>UVC 参数不可用：%1</translation>
        </message>
        <message>
            <source>UVC %1 set failed: %2</source>
            <translation>UVC %1 设置失败：%2</translation>
        </message>
        <message>
            <source>UVC %1 auto-mode failed: %2</source>
            <translation>UVC %1 自动模式设置失败：%2</translation>
        </message>
        <message>
            <source>UVC reset failed: %1</source>
            <translation>UVC 重置失败：%1</translation>
        </message>
        <message>
            <source>Channel %1 selected · collecting 4096 samples</source>
            <translation>已选择通道 %1 · 正在采集 4096 个采样</translation>
        </message>
        <message>
            <source>none</source>
            <translation>无</translation>
        </message>
        <message>
            <source>Window %1–%2 s · width %3 s</source>
            <translation>窗口 %1–%2 秒 · 宽度 %3 秒</translation>
        </message>
        <message>
            <source>Analysis spectrum failed: %1</source>
            <translation>分析频谱计算失败：%1</translation>
        </message>
        <message>
            <source>%1 · %2 Hz · frame %3/%4 · grid %5° · peak %6° / %7° · %8</source>
            <translation>%1 · %2 Hz · 帧 %3/%4 · 网格 %5° · 峰值 %6° / %7° · %8重算</translation>
        </message>
        <message>
            <source>Analysis %1 · validating frozen inputs</source>
            <translation>分析 %1 · 正在校验冻结的输入</translation>
        </message>
        <message>
            <source>Full Recompute failed: %1</source>
            <translation>完整重算失败：%1</translation>
        </message>
        <message>
            <source>Fast Re-analysis · derived cache hit</source>
            <translation>快速重新分析 · 命中派生缓存</translation>
        </message>
        <message>
            <source>Derived cache entry unreadable, recomputing it: %1</source>
            <translation>派生缓存条目无法读取，正在重新计算：%1</translation>
        </message>
        <message>
            <source>Derived cache write failed (analysis result is unaffected): %1</source>
            <translation>派生缓存写入失败（不影响分析结果）：%1</translation>
        </message>
        <message>
            <source>Full Recompute requires a selected Measurement while Live and Replay are stopped</source>
            <translation>完整重算需要选择一个测量，且实时和回放均已停止</translation>
        </message>
        <message>
            <source>Start requires a validated Device Profile and Ready state</source>
            <translation>开始需要经过验证的设备配置文件且处于就绪状态</translation>
        </message>
        <message>
            <source>Starting acquisition transaction...</source>
            <translation>正在启动采集事务……</translation>
        </message>
        <message>
            <source>Live acquisition running from %1</source>
            <translation>实时采集运行中，来源：%1</translation>
        </message>
        <message>
            <source>Start transaction failed: %1</source>
            <translation>启动事务失败：%1</translation>
        </message>
        <message>
            <source>Stopping acquisition...</source>
            <translation>正在停止采集……</translation>
        </message>
        <message>
            <source>Acquisition stopped; Device Profile remains ready</source>
            <translation>采集已停止；设备配置文件保持就绪</translation>
        </message>
        <message>
            <source>Stop the active session before running a one-shot analysis</source>
            <translation>运行单次分析前请先停止当前会话</translation>
        </message>
        <message>
            <source>Import a Device Profile first</source>
            <translation>请先导入设备配置文件</translation>
        </message>
        <message>
            <source>Run complete</source>
            <translation>运行完成</translation>
        </message>
        <message>
            <source>Run failed: %1</source>
            <translation>运行失败：%1</translation>
        </message>
        <message>
            <source>Acquisition degraded: DSP queue / socket overflow (dropped frames are growing) - reduce imaging bins or close auxiliary views</source>
            <translation>采集性能下降：DSP 队列 / 套接字溢出（丢弃的帧在增加）- 请减少成像频点或关闭辅助视图</translation>
        </message>
        <message>
            <source>Language refresh failed: %1</source>
            <translation>语言刷新失败：%1</translation>
        </message>
        <message>
            <source>%1 logical / %2 wire · %3 Hz · %4 s (%5 frames) · source %6 · %7</source>
            <translation>%1 逻辑通道 / %2 传输通道 · %3 Hz · %4 秒（%5 帧）· 来源 %6 · %7</translation>
        </message>
        <message>
            <source>unknown</source>
            <translation>未知</translation>
        </message>
        <message>
            <source>%1 · schema %2 · %3</source>
            <translation>%1 · 架构版本 %2 · %3</translation>
        </message>
        <message>
            <source>Measurement directory is missing</source>
            <translation>测量目录缺失</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before selecting another Measurement</source>
            <translation>请等待完整重算结束后再选择其他测量</translation>
        </message>
        <message>
            <source>Stop the active Replay before selecting another Measurement</source>
            <translation>选择其他测量前请先停止当前回放</translation>
        </message>
        <message>
            <source>Open frozen Device Profile failed: %1: %2</source>
            <translation>打开冻结的设备配置文件失败：%1：%2</translation>
        </message>
        <message>
            <source>Measurement selected: %1 · frozen Profile %2</source>
            <translation>已选择测量：%1 · 冻结配置 %2</translation>
        </message>
        <message>
            <source>Select Measurement failed: %1</source>
            <translation>选择测量失败：%1</translation>
        </message>
        <message>
            <source>Select a Measurement first</source>
            <translation>请先选择一个测量</translation>
        </message>
        <message>
            <source>Stop Recording/Replay/Analysis before editing annotations</source>
            <translation>编辑注释前请先停止录制/回放/分析</translation>
        </message>
        <message>
            <source>Rename failed: %1</source>
            <translation>重命名失败：%1</translation>
        </message>
        <message>
            <source>Alias cleared: %1</source>
            <translation>已清除别名：%1</translation>
        </message>
        <message>
            <source>Renamed %1 -&gt; %2</source>
            <translation>已重命名 %1 -&gt; %2</translation>
        </message>
        <message>
            <source>Save note failed: %1</source>
            <translation>保存备注失败：%1</translation>
        </message>
        <message>
            <source>Note saved: %1</source>
            <translation>备注已保存：%1</translation>
        </message>
        <message>
            <source>Finish the active Recording before deleting</source>
            <translation>删除前请先结束当前录制</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before deleting</source>
            <translation>请等待完整重算结束后再删除</translation>
        </message>
        <message>
            <source>Project unregister failed: %1</source>
            <translation>从项目中注销失败：%1</translation>
        </message>
        <message>
            <source>Measurement deleted: %1</source>
            <translation>测量已删除：%1</translation>
        </message>
        <message>
            <source>Measurement unregistered; locked files remain under %1 — delete the folder manually</source>
            <translation>测量已注销；%1 下仍有被锁定的文件 — 请手动删除该文件夹</translation>
        </message>
        <message>
            <source>Delete Measurement failed: %1</source>
            <translation>删除测量失败：%1</translation>
        </message>
        <message>
            <source>Calibrate the noise floor for this device profile first</source>
            <translation>请先为此设备配置校准本底噪声</translation>
        </message>
        <message>
            <source>Noise switch persist failed: %1</source>
            <translation>保存噪声扣除开关失败：%1</translation>
        </message>
        <message>
            <source>Background noise subtraction ON</source>
            <translation>背景噪声扣除：开</translation>
        </message>
        <message>
            <source>Background noise subtraction OFF</source>
            <translation>背景噪声扣除：关</translation>
        </message>
        <message>
            <source>Noise calibration is not allowed while Recording</source>
            <translation>录制期间不允许进行噪声校准</translation>
        </message>
        <message>
            <source>Noise calibration is Live-only; the calibrated floor switch still works in Replay</source>
            <translation>噪声校准仅限实时模式；已校准的本底噪声开关在回放中仍可使用</translation>
        </message>
        <message>
            <source>Start Live before noise calibration</source>
            <translation>噪声校准前请先开始实时采集</translation>
        </message>
        <message>
            <source>Noise calibration started - keep the environment stable</source>
            <translation>噪声校准已开始 - 请保持环境稳定</translation>
        </message>
        <message>
            <source>Noise calibration failed: %1</source>
            <translation>噪声校准失败：%1</translation>
        </message>
        <message>
            <source>Noise calibration cancelled</source>
            <translation>噪声校准已取消</translation>
        </message>
        <message>
            <source>Noise calibration failed: not enough frames captured</source>
            <translation>噪声校准失败：采集的帧不足</translation>
        </message>
        <message>
            <source>Noise floor kept for this session only: %1</source>
            <translation>本底噪声仅在本次会话中保留：%1</translation>
        </message>
        <message>
            <source>Noise floor calibrated for this session (no Project open)</source>
            <translation>已为本次会话校准本底噪声（未打开项目）</translation>
        </message>
        <message>
            <source>Noise floor calibrated</source>
            <translation>本底噪声已校准</translation>
        </message>
        <message>
            <source>%1 | %2 logical / %3 wire | %4&#xa0;Hz</source>
            <translation>%1 | %2 逻辑通道 / %3 传输通道 | %4&#xa0;Hz</translation>
        </message>
        <message>
            <source>Stop the active session before replacing the Device Profile</source>
            <translation>更换设备配置文件前请先停止当前会话</translation>
        </message>
        <message>
            <source>Removed temporary file %1</source>
            <translation>已删除临时文件 %1</translation>
        </message>
        <message>
            <source>Removed incomplete leftover %1</source>
            <translation>已删除未完成的残留 %1</translation>
        </message>
        <message>
            <source>Recovered AnalysisRun %1</source>
            <translation>已恢复分析运行 %1</translation>
        </message>
        <message>
            <source>Recovered recording %1</source>
            <translation>已恢复录制 %1</translation>
        </message>
        <message>
            <source>Recovered Measurement %1</source>
            <translation>已恢复测量 %1</translation>
        </message>
        <message>
            <source>Unfinished recording without its description kept: %1 (%2 bytes)</source>
            <translation>已保留缺少描述的未完成录制：%1（%2 字节）</translation>
        </message>
        <message>
            <source>Removed unfinished camera video %1</source>
            <translation>已删除未完成的摄像头视频 %1</translation>
        </message>
        <message>
            <source>Recovery left %1 alone: another program is using it</source>
            <translation>恢复未处理 %1：另一个程序正在使用它</translation>
        </message>
        <message>
            <source>Recovery left %1 as it was: %2</source>
            <translation>恢复保留了 %1 的原状：%2</translation>
        </message>
        <message>
            <source>Project creation requires a directory and a name</source>
            <translation>创建项目需要目录和名称</translation>
        </message>
        <message>
            <source>Finish the active Recording before changing Project</source>
            <translation>更换项目前请先结束当前录制</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before changing Project</source>
            <translation>请等待完整重算结束后再更换项目</translation>
        </message>
        <message>
            <source>Stop Replay before changing Project</source>
            <translation>更换项目前请先停止回放</translation>
        </message>
        <message>
            <source>Project created: %1</source>
            <translation>项目已创建：%1</translation>
        </message>
        <message>
            <source>Create Project failed: %1</source>
            <translation>创建项目失败：%1</translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): kept as %2, the Measurement list was rebuilt from %n Measurement folder</source>
            <translation>
                <numerusform>无法读取 project.json（%1）：已保留为 %2，已根据 %n 个测量文件夹重建测量列表</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): kept as %2, the Measurement list was rebuilt from %n Measurement folders</source>
            <translation>
                <numerusform>无法读取 project.json（%1）：已保留为 %2，已根据 %n 个测量文件夹重建测量列表</numerusform>
            </translation>
        </message>
        <message>
            <source>Project opened: %1 · %n Measurement</source>
            <translation>项目已打开：%1 · %n 个测量</translation>
        </message>
        <message>
            <source>Project opened: %1 · %n Measurements</source>
            <translation>项目已打开：%1 · %n 个测量</translation>
        </message>
        <message>
            <source>Finish the active Recording before refreshing Project</source>
            <translation>刷新项目前请先结束当前录制</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before refreshing Project</source>
            <translation>请等待完整重算结束后再刷新项目</translation>
        </message>
        <message>
            <source>Stop Replay before refreshing Project</source>
            <translation>刷新项目前请先停止回放</translation>
        </message>
        <message numerus="yes">
            <source>Project refreshed · %n Measurement</source>
            <translation>
                <numerusform>项目已刷新 · %n 个测量</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>Project refreshed · %n Measurements</source>
            <translation>
                <numerusform>项目已刷新 · %n 个测量</numerusform>
            </translation>
        </message>
        <message>
            <source>Refresh Project failed: %1</source>
            <translation>刷新项目失败：%1</translation>
        </message>
        <message>
            <source>Open a Project first</source>
            <translation>请先打开一个项目</translation>
        </message>
        <message>
            <source>Finish the active Recording before deleting the Project</source>
            <translation>删除项目前请先结束当前录制</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before deleting the Project</source>
            <translation>请等待完整重算结束后再删除项目</translation>
        </message>
        <message>
            <source>Refusing to delete: not a Project root</source>
            <translation>拒绝删除：不是项目根目录</translation>
        </message>
        <message>
            <source>Project deleted: %1</source>
            <translation>项目已删除：%1</translation>
        </message>
        <message>
            <source>Delete Project failed: %1</source>
            <translation>删除项目失败：%1</translation>
        </message>
        <message>
            <source>Noise floor load failed: %1</source>
            <translation>加载本底噪声失败：%1</translation>
        </message>
        <message>
            <source>Recording requires an active Live session</source>
            <translation>录制需要正在运行的实时会话</translation>
        </message>
        <message>
            <source>Open or create a Project before Recording</source>
            <translation>录制前请先打开或创建项目</translation>
        </message>
        <message>
            <source>Recording failed: %1</source>
            <translation>录制失败：%1</translation>
        </message>
        <message>
            <source>Recording %1 into Project %2</source>
            <translation>正在录制 %1 到项目 %2</translation>
        </message>
        <message>
            <source>Start Recording failed: %1</source>
            <translation>开始录制失败：%1</translation>
        </message>
        <message>
            <source>Recording stopped: datagrams were lost, the samples are no longer contiguous</source>
            <translation>录制已停止：数据报丢失，采样已不再连续</translation>
        </message>
        <message>
            <source>Recording stopped: the disk is too slow for the stream (%1 MB/s needed)</source>
            <translation>录制已停止：磁盘速度跟不上数据流（需要 %1 MB/s）</translation>
        </message>
        <message>
            <source>append failed</source>
            <translation>追加写入失败</translation>
        </message>
        <message>
            <source>Finalizing Measurement %1...</source>
            <translation>正在完成测量 %1……</translation>
        </message>
        <message>
            <source>Recording reached the %1 s Measurement limit; finalizing</source>
            <translation>录制已达到 %1 秒的测量上限；正在完成</translation>
        </message>
        <message>
            <source>Video recorder did not stop in time; finalizing Measurement anyway</source>
            <translation>视频录制器未能及时停止；仍将完成测量</translation>
        </message>
        <message>
            <source>Warning: Measurement %1 is saved, but the disk did not confirm its folder; a power cut could still lose it</source>
            <translation>警告：测量 %1 已保存，但磁盘未确认其文件夹；断电仍可能导致其丢失</translation>
        </message>
        <message>
            <source>Measurement saved: %1 · %2</source>
            <translation>测量已保存：%1 · %2</translation>
        </message>
        <message>
            <source>Measurement saved, but Project refresh failed: %1</source>
            <translation>测量已保存，但刷新项目失败：%1</translation>
        </message>
        <message>
            <source>Finalize Recording failed: %1</source>
            <translation>完成录制失败：%1</translation>
        </message>
        <message>
            <source>Recorded samples kept in %1; opening the Project again recovers them</source>
            <translation>已录制的采样保留在 %1；重新打开项目即可恢复</translation>
        </message>
        <message>
            <source>Replay frequency band pending: %1</source>
            <translation>回放频带待生效：%1</translation>
        </message>
        <message>
            <source>Replay frequency-band update failed: %1</source>
            <translation>回放频带更新失败：%1</translation>
        </message>
        <message>
            <source>Replay beamforming update failed: %1</source>
            <translation>回放波束形成更新失败：%1</translation>
        </message>
        <message>
            <source>1.0x · frozen Profile · hash verified</source>
            <translation>1.0x · 冻结配置 · 哈希已校验</translation>
        </message>
        <message>
            <source>Replaying Measurement %1</source>
            <translation>正在回放测量 %1</translation>
        </message>
        <message>
            <source>Complete · %1 hops · integrity verified</source>
            <translation>完成 · %1 跳 · 完整性已校验</translation>
        </message>
        <message>
            <source>Replay complete: %1</source>
            <translation>回放完成：%1</translation>
        </message>
        <message>
            <source>Replay failed: %1</source>
            <translation>回放失败：%1</translation>
        </message>
        <message>
            <source>Stop Live before starting Measurement Replay</source>
            <translation>开始测量回放前请先停止实时会话</translation>
        </message>
        <message>
            <source>Select a valid Measurement before Replay</source>
            <translation>回放前请先选择一个有效的测量</translation>
        </message>
        <message>
            <source>Replay raw asset is missing</source>
            <translation>回放所需的原始数据缺失</translation>
        </message>
        <message>
            <source>Validating frozen Profile and raw integrity...</source>
            <translation>正在校验冻结配置和原始数据完整性……</translation>
        </message>
        <message>
            <source>Loading Replay %1 with frozen Profile %2</source>
            <translation>正在加载回放 %1，冻结配置 %2</translation>
        </message>
        <message>
            <source>Replay paused at %1 s</source>
            <translation>回放已暂停于 %1 秒</translation>
        </message>
        <message>
            <source>Replay resumed: %1</source>
            <translation>回放已继续：%1</translation>
        </message>
        <message>
            <source>Replay stopped; Live Profile was not changed</source>
            <translation>回放已停止；实时配置未更改</translation>
        </message>
        <message>
            <source>Analyze at position requires an active Replay</source>
            <translation>“在此位置分析”需要正在进行的回放</translation>
        </message>
        <message>
            <source>Wait for the running Full Recompute to finish</source>
            <translation>请等待正在运行的完整重算结束</translation>
        </message>
        <message>
            <source>Analyze at position failed: %1</source>
            <translation>“在此位置分析”失败：%1</translation>
        </message>
        <message>
            <source>Theme update</source>
            <translation>主题更新</translation>
        </message>
        <message>
            <source>Language update</source>
            <translation>语言更新</translation>
        </message>
        <message>
            <source>Source selection</source>
            <translation>信号源选择</translation>
        </message>
        <message>
            <source>Unsupported source: %1</source>
            <translation>不支持的信号源：%1</translation>
        </message>
        <message>
            <source>Plot palette update</source>
            <translation>绘图配色更新</translation>
        </message>
        <message>
            <source>Dynamic range update</source>
            <translation>动态范围更新</translation>
        </message>
        <message>
            <source>Level gate update</source>
            <translation>电平门限更新</translation>
        </message>
        <message>
            <source>Fixed reference update</source>
            <translation>固定参考值更新</translation>
        </message>
        <message>
            <source>Scale mode update</source>
            <translation>标尺模式更新</translation>
        </message>
        <message>
            <source>Colormap update</source>
            <translation>色图更新</translation>
        </message>
        <message>
            <source>Style update</source>
            <translation>样式更新</translation>
        </message>
        <message>
            <source>Opacity update</source>
            <translation>不透明度更新</translation>
        </message>
        <message>
            <source>Camera mirror update</source>
            <translation>摄像头镜像更新</translation>
        </message>
        <message>
            <source>Camera overlay update</source>
            <translation>摄像头叠加更新</translation>
        </message>
        <message numerus="yes">
            <source>UVC %1: %n parameter</source>
            <translation>
                <numerusform>UVC %1：%n 个参数</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>UVC %1: %n parameters</source>
            <translation>
                <numerusform>UVC %1：%n 个参数</numerusform>
            </translation>
        </message>
        <message>
            <source>%1 · %2 restored</source>
            <translation>%1 · 已恢复 %2 项</translation>
        </message>
        <message>
            <source>UVC parameters reset to device defaults</source>
            <translation>UVC 参数已重置为设备默认值</translation>
        </message>
        <message>
            <source>empty camera id</source>
            <translation>摄像头 ID 为空</translation>
        </message>
        <message>
            <source>device exposes no UVC parameters</source>
            <translation>设备未提供任何 UVC 参数</translation>
        </message>
        <message>
            <source>no UVC device bound</source>
            <translation>未绑定 UVC 设备</translation>
        </message>
        <message>
            <source>unknown UVC parameter</source>
            <translation>未知的 UVC 参数</translation>
        </message>
        <message>
            <source>UVC set failed (0x%1)</source>
            <translation>UVC 设置失败（0x%1）</translation>
        </message>
        <message>
            <source>UVC device not found via V4L2</source>
            <translation>通过 V4L2 未找到 UVC 设备</translation>
        </message>
        <message>
            <source>cannot open %1: %2</source>
            <translation>无法打开 %1：%2</translation>
        </message>
        <message>
            <source>%1 is not a V4L2 capture device</source>
            <translation>%1 不是 V4L2 采集设备</translation>
        </message>
        <message>
            <source>%1  (%2 pkt/s)</source>
            <translation>%1（%2 包/秒）</translation>
        </message>
        <message>
            <source>%1/%2  ·  %3 fr</source>
            <translation>%1/%2  ·  %3 帧</translation>
        </message>
        <message>
            <source>%1 fr</source>
            <translation>%1 帧</translation>
        </message>
        <message>
            <source>CH %1 | DC %2 counts | RMS %3 dBFS | raw %4..%5 | peak %6 Hz / %7 dBFS | silent %8/%9 | win %10 (df %11 Hz)</source>
            <translation>通道 %1 | 直流 %2 计数 | RMS %3 dBFS | 原始 %4..%5 | 峰值 %6 Hz / %7 dBFS | 静默 %8/%9 | 窗口 %10 (df %11 Hz)</translation>
        </message>
        <message>
            <source>%1 dBFS</source>
            <translation>%1 dBFS</translation>
        </message>
        <message>
            <source>%1 dB re peak</source>
            <translation>%1 dB（相对峰值）</translation>
        </message>
        <message>
            <source>%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8</source>
            <translation>%1 v%2 · %3 · 帧 %4 / 跳 %5 · 网格 %6° · %7 · 峰值 %8</translation>
        </message>
        <message>
            <source>on</source>
            <translation>开</translation>
        </message>
        <message>
            <source>off</source>
            <translation>关</translation>
        </message>
        <message>
            <source>speed of sound %1 m/s</source>
            <translation>声速 %1 m/s</translation>
        </message>
        <message>
            <source>Wait until the Full Recompute ends</source>
            <translation>请等待完整重算结束</translation>
        </message>
        <message>
            <source>Wait until the Recording is saved</source>
            <translation>请等待录制保存完成</translation>
        </message>
        <message>
            <source>The frozen Device Profile of this Measurement cannot be read</source>
            <translation>无法读取此测量的冻结设备配置文件</translation>
        </message>
        <message>
            <source>A Replay is running: stop it first</source>
            <translation>回放正在运行：请先停止</translation>
        </message>
        <message>
            <source>another program opening this Project has taken over the Recording&apos;s samples</source>
            <translation>打开此项目的另一个程序已接管该录制的样本</translation>
        </message>
        <message>
            <source>the Measurement no longer exists - another program deleted it</source>
            <translation>该测量已不存在 - 另一个程序已将其删除</translation>
        </message>
        <message>
            <source>the Project no longer exists - another program deleted it</source>
            <translation>该项目已不存在 - 另一个程序已将其删除</translation>
        </message>
        <message>
            <source>another program is changing the Project - try again</source>
            <translation>另一个程序正在更改该项目 - 请重试</translation>
        </message>
        <message>
            <source>another program is using or changing the Measurement - try again</source>
            <translation>另一个程序正在使用或更改该测量 - 请重试</translation>
        </message>
        <message>
            <source>another program is saving the noise floor - try again</source>
            <translation>另一个程序正在保存本底噪声 - 请重试</translation>
        </message>
        <message>
            <source>another program is using the Recording</source>
            <translation>另一个程序正在使用该录制</translation>
        </message>
        <message>
            <source>AnalysisRun %1 of Measurement %2 was not saved: %3</source>
            <translation>测量 %2 的分析运行 %1 未保存：%3</translation>
        </message>
        <message>
            <source>Measurement %1 was not changed: %2</source>
            <translation>测量 %1 未更改：%2</translation>
        </message>
        <message>
            <source>Measurement %1 was not deleted: %2</source>
            <translation>测量 %1 未删除：%2</translation>
        </message>
        <message>
            <source>The folder of this Project is on a network file system (%1) whose locks may not reach other computers (%2): it cannot guard the Project against a second computer writing to it at the same time</source>
            <translation>此项目的文件夹位于网络文件系统（%1）上，其文件锁可能无法作用于其他计算机（%2）：无法防止另一台计算机同时写入该项目</translation>
        </message>
    </context>
    <context>
        <name>UvcParameter</name>
        <message>
            <source>Brightness</source>
            <translation>亮度</translation>
        </message>
        <message>
            <source>Contrast</source>
            <translation>对比度</translation>
        </message>
        <message>
            <source>Hue</source>
            <translation>色调</translation>
        </message>
        <message>
            <source>Saturation</source>
            <translation>饱和度</translation>
        </message>
        <message>
            <source>Sharpness</source>
            <translation>锐度</translation>
        </message>
        <message>
            <source>Gamma</source>
            <translation>伽马</translation>
        </message>
        <message>
            <source>Color enable</source>
            <translation>彩色启用</translation>
        </message>
        <message>
            <source>White balance</source>
            <translation>白平衡</translation>
        </message>
        <message>
            <source>Backlight compensation</source>
            <translation>背光补偿</translation>
        </message>
        <message>
            <source>Gain</source>
            <translation>增益</translation>
        </message>
        <message>
            <source>Exposure</source>
            <translation>曝光</translation>
        </message>
        <message>
            <source>Focus</source>
            <translation>对焦</translation>
        </message>
        <message>
            <source>Iris</source>
            <translation>光圈</translation>
        </message>
        <message>
            <source>Zoom</source>
            <translation>变焦</translation>
        </message>
        <message>
            <source>Pan</source>
            <translation>水平摇摄</translation>
        </message>
        <message>
            <source>Tilt</source>
            <translation>垂直俯仰</translation>
        </message>
        <message>
            <source>Roll</source>
            <translation>旋转</translation>
        </message>
        <message>
            <source>Powerline frequency</source>
            <translation>电源频率</translation>
        </message>
    </context>
    <context>
        <name>AcousticCanvas</name>
        <message>
            <source>No data from the array - this map is not live</source>
            <translation>阵列无数据 - 此图不是实时的</translation>
        </message>
        <message>
            <source>Acoustic map</source>
            <translation>声学图</translation>
        </message>
        <message>
            <source>Camera overlay is not configured in this slice</source>
            <translation>此版本未配置相机叠加</translation>
        </message>
        <message>
            <source>Press Start to publish the first map</source>
            <translation>按“开始”生成第一张声学图</translation>
        </message>
        <message>
            <source>Import a Device Profile</source>
            <translation>导入设备配置文件</translation>
        </message>
        <message>
            <source>The acoustic map updates in real time</source>
            <translation>声学图实时更新</translation>
        </message>
        <message>
            <source>Peak %1° / %2° · span %3 dB · %4 dBFS</source>
            <translation>峰值 %1° / %2° · 跨度 %3 dB · %4 dBFS</translation>
        </message>
        <message>
            <source>Peak %1° / %2° · span %3 dB · levels re peak</source>
            <translation>峰值 %1° / %2° · 跨度 %3 dB · 相对峰值电平</translation>
        </message>
        <message>
            <source>Map below level gate: peak %1 dBFS &lt; gate %2 dBFS - lower Level gate or make sound</source>
            <translation>声学图低于电平门限：峰值 %1 dBFS &lt; 门限 %2 dBFS - 请降低电平门限或发出声音</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>俯仰角</translation>
        </message>
    </context>
    <context>
        <name>AcquisitionPage</name>
        <message>
            <source>Sound pressure map</source>
            <translation>声压图</translation>
        </message>
        <message>
            <source>UVC video overlay active — Record captures a video track</source>
            <translation>UVC 视频叠加已启用 — 录制将包含视频轨</translation>
        </message>
        <message>
            <source>No camera — Record will be audio only</source>
            <translation>无相机 — 录制仅含音频</translation>
        </message>
        <message>
            <source>REC %1 · %2 / %3 s · %4 MB · %5</source>
            <translation>录制 %1 · %2 / %3 秒 · %4 MB · %5</translation>
        </message>
        <message>
            <source>CAM</source>
            <translation>相机</translation>
        </message>
        <message>
            <source>no video</source>
            <translation>无视频</translation>
        </message>
    </context>
    <context>
        <name>Main</name>
        <message>
            <source>Device</source>
            <translation>设备</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>项目</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>相机</translation>
        </message>
        <message>
            <source>Live</source>
            <translation>实时</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>回放</translation>
        </message>
        <message>
            <source>Analysis</source>
            <translation>分析</translation>
        </message>
        <message>
            <source>Diagnostics</source>
            <translation>诊断</translation>
        </message>
        <message>
            <source>Settings</source>
            <translation>设置</translation>
        </message>
        <message>
            <source>Sorvanta Studio v%1</source>
            <translation>Sorvanta Studio v%1</translation>
        </message>
        <message>
            <source>No profile</source>
            <translation>无配置</translation>
        </message>
        <message>
            <source>Ready</source>
            <translation>就绪</translation>
        </message>
        <message>
            <source>Starting</source>
            <translation>启动中</translation>
        </message>
        <message>
            <source>Running</source>
            <translation>运行中</translation>
        </message>
        <message>
            <source>Stopping</source>
            <translation>停止中</translation>
        </message>
        <message>
            <source>Faulted</source>
            <translation>故障</translation>
        </message>
        <message>
            <source>Loading</source>
            <translation>加载中</translation>
        </message>
        <message>
            <source>Playing</source>
            <translation>播放中</translation>
        </message>
        <message>
            <source>Paused</source>
            <translation>已暂停</translation>
        </message>
        <message>
            <source>Finished</source>
            <translation>已完成</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>空闲</translation>
        </message>
        <message>
            <source>Sorvanta Studio</source>
            <translation>Sorvanta Studio</translation>
        </message>
        <message>
            <source>PROJECT</source>
            <translation>项目</translation>
        </message>
        <message>
            <source>No project open</source>
            <translation>未打开项目</translation>
        </message>
        <message>
            <source>No Device Profile</source>
            <translation>无设备配置文件</translation>
        </message>
        <message>
            <source>Analysis · %1%</source>
            <translation>分析 · %1%</translation>
        </message>
        <message>
            <source>Replay · %1</source>
            <translation>回放 · %1</translation>
        </message>
        <message>
            <source>● REC</source>
            <translation>● 录制</translation>
        </message>
        <message>
            <source>Saving...</source>
            <translation>保存中...</translation>
        </message>
        <message>
            <source>Language</source>
            <translation>语言</translation>
        </message>
        <message>
            <source>Theme</source>
            <translation>主题</translation>
        </message>
        <message>
            <source>WORKSPACE</source>
            <translation>工作区</translation>
        </message>
        <message>
            <source>Working…</source>
            <translation>处理中…</translation>
        </message>
        <message>
            <source>Start</source>
            <translation>开始</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Stop &amp; save</source>
            <translation>停止并保存</translation>
        </message>
        <message>
            <source>Saving…</source>
            <translation>保存中…</translation>
        </message>
        <message>
            <source>Record</source>
            <translation>录制</translation>
        </message>
        <message>
            <source>DEVICE CONTRACT</source>
            <translation>设备契约</translation>
        </message>
        <message>
            <source>No validated profile</source>
            <translation>无已验证的配置文件</translation>
        </message>
        <message>
            <source>Background calibration</source>
            <translation>背景校准</translation>
        </message>
        <message>
            <source>Calibration in progress - please keep the on-site environment stable</source>
            <translation>正在校准 - 请保持现场环境稳定</translation>
        </message>
        <message>
            <source>%1 s remaining</source>
            <translation>剩余 %1 秒</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
    </context>
    <context>
        <name>AlgorithmMapPanel</name>
        <message>
            <source>Acoustic map</source>
            <translation>声学成像</translation>
        </message>
        <message>
            <source>Range %1 dB</source>
            <translation>范围 %1 dB</translation>
        </message>
        <message>
            <source>Level gate %1 dBFS</source>
            <translation>电平门限 %1 dBFS</translation>
        </message>
        <message>
            <source>Alpha %1%</source>
            <translation>透明度 %1%</translation>
        </message>
        <message>
            <source>Colormap</source>
            <translation>色图</translation>
        </message>
        <message>
            <source>Style</source>
            <translation>样式</translation>
        </message>
        <message>
            <source>Contour</source>
            <translation>等值线</translation>
        </message>
        <message>
            <source>Contour + fill</source>
            <translation>等值线 + 填充</translation>
        </message>
        <message>
            <source>Peak cross</source>
            <translation>峰值十字</translation>
        </message>
        <message>
            <source>Fill</source>
            <translation>填充</translation>
        </message>
        <message>
            <source>Scale</source>
            <translation>刻度</translation>
        </message>
        <message>
            <source>Fixed dBFS</source>
            <translation>固定 dBFS</translation>
        </message>
        <message>
            <source>Auto peak</source>
            <translation>自动峰值</translation>
        </message>
        <message>
            <source>Diagonal removal</source>
            <translation>去除对角线</translation>
        </message>
        <message>
            <source>Background noise</source>
            <translation>背景噪声</translation>
        </message>
        <message>
            <source>Calibrate (5 s)</source>
            <translation>校准（5 秒）</translation>
        </message>
        <message>
            <source>Integration time</source>
            <translation>积分时间</translation>
        </message>
        <message>
            <source>Air temp %1 °C · %2 m/s</source>
            <translation>气温 %1 °C · %2 m/s</translation>
        </message>
        <message>
            <source>Confidence %1 dB</source>
            <translation>置信度 %1 dB</translation>
        </message>
        <message>
            <source>%1–%2 Hz · %3 bins (auto)</source>
            <translation>%1–%2 Hz · %3 个频点（自动）</translation>
        </message>
        <message>
            <source>Frequency band is selected automatically</source>
            <translation>频带自动选择</translation>
        </message>
        <message>
            <source>▾ Algorithm parameters</source>
            <translation>▾ 算法参数</translation>
        </message>
        <message>
            <source>▸ Algorithm parameters</source>
            <translation>▸ 算法参数</translation>
        </message>
        <message>
            <source>applied r%1</source>
            <translation>已应用 r%1</translation>
        </message>
        <message>
            <source>Noise subtraction waits for the calibration to end</source>
            <translation>噪声扣除需等待校准结束</translation>
        </message>
        <message>
            <source>Subtract the calibrated background noise from the map</source>
            <translation>从声学图中扣除已校准的背景噪声</translation>
        </message>
        <message>
            <source>Noise subtraction needs a calibration of this device profile first</source>
            <translation>噪声扣除需要先为此设备配置进行校准</translation>
        </message>
        <message>
            <source>Single bin</source>
            <translation>单频点</translation>
        </message>
        <message>
            <source>Custom bandwidth</source>
            <translation>自定义带宽</translation>
        </message>
        <message>
            <source>1/3 octave</source>
            <translation>1/3 倍频程</translation>
        </message>
        <message>
            <source>Focus %1 m</source>
            <translation>聚焦 %1 m</translation>
        </message>
        <message>
            <source>Focus ∞</source>
            <translation>聚焦 ∞</translation>
        </message>
    </context>
    <context>
        <name>ReplayPage</name>
        <message>
            <source>No Measurement selected</source>
            <translation>未选择测量</translation>
        </message>
        <message>
            <source>Frozen: %1</source>
            <translation>冻结：%1</translation>
        </message>
        <message>
            <source>Frozen Profile loads on Start</source>
            <translation>冻结的配置在开始时加载</translation>
        </message>
        <message>
            <source>video track</source>
            <translation>视频轨道</translation>
        </message>
        <message>
            <source>audio only</source>
            <translation>仅音频</translation>
        </message>
        <message>
            <source>Start Measurement Replay</source>
            <translation>开始测量回放</translation>
        </message>
        <message>
            <source>band edits recompute at the current replay position</source>
            <translation>频带修改将在当前回放位置重新计算</translation>
        </message>
        <message>
            <source>Replay sound pressure map</source>
            <translation>回放声压图</translation>
        </message>
        <message>
            <source>Start Replay to recompute from immutable raw</source>
            <translation>开始回放以从不可变原始数据重新计算</translation>
        </message>
        <message>
            <source>%1 · %2 · click map to play/pause</source>
            <translation>%1 · %2 · 点击图像播放/暂停</translation>
        </message>
        <message>
            <source>Replay recomputes the acoustic map from the recorded raw data</source>
            <translation>回放将根据录制的原始数据重新计算声学图</translation>
        </message>
        <message>
            <source>%1 / %2 s</source>
            <translation>%1 / %2 秒</translation>
        </message>
        <message>
            <source>Replay again</source>
            <translation>再次回放</translation>
        </message>
        <message>
            <source>Start Replay</source>
            <translation>开始回放</translation>
        </message>
        <message>
            <source>Resume</source>
            <translation>继续</translation>
        </message>
        <message>
            <source>Pause</source>
            <translation>暂停</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Open project folder</source>
            <translation>打开项目文件夹</translation>
        </message>
        <message>
            <source>Analyze at position</source>
            <translation>在此位置分析</translation>
        </message>
        <message>
            <source>Select a Measurement, then Start Replay — recording integrity is verified before playback</source>
            <translation>选择一个测量，然后开始回放 — 播放前将校验录制完整性</translation>
        </message>
        <message>
            <source>1.0x · frozen Profile</source>
            <translation>1.0x · 冻结配置</translation>
        </message>
        <message>
            <source>Start Replay — recording integrity is verified before playback</source>
            <translation>开始回放 — 播放前会校验录音完整性</translation>
        </message>
    </context>
    <context>
        <name>ActionBlockers</name>
        <message>
            <source>Wait until the Recording is saved</source>
            <translation>请等待录制保存完成</translation>
        </message>
        <message>
            <source>Wait until the Full Recompute ends</source>
            <translation>请等待完整重算结束</translation>
        </message>
        <message>
            <source>Analyze at position needs an active Replay: start one first</source>
            <translation>“在此位置分析”需要正在进行的回放：请先开始回放</translation>
        </message>
        <message>
            <source>Start Live before Recording</source>
            <translation>录制前请先开始实时会话</translation>
        </message>
        <message>
            <source>Open or create a Project before Recording</source>
            <translation>录制前请先打开或创建项目</translation>
        </message>
        <message>
            <source>Background noise is calibrated from Live: stop the Replay and start Live</source>
            <translation>背景噪声在实时会话中校准：请停止回放并开始实时会话</translation>
        </message>
        <message>
            <source>Calibrate before or after a Recording, not during it</source>
            <translation>请在录制之前或之后校准，录制期间不能校准</translation>
        </message>
        <message>
            <source>Start Live to calibrate the background noise</source>
            <translation>请开始实时会话以校准背景噪声</translation>
        </message>
        <message>
            <source>Select a Measurement on the Project page first</source>
            <translation>请先在项目页面选择一个测量</translation>
        </message>
        <message>
            <source>Stop Live before importing a Device Profile</source>
            <translation>导入设备配置文件前请先停止实时会话</translation>
        </message>
        <message>
            <source>Stop the Replay before changing the source</source>
            <translation>更改信号源前请先停止回放</translation>
        </message>
        <message>
            <source>Stop Live before changing the source</source>
            <translation>更改信号源前请先停止实时会话</translation>
        </message>
        <message>
            <source>Live is running</source>
            <translation>实时会话正在运行</translation>
        </message>
        <message>
            <source>Wait until Live has stopped</source>
            <translation>请等待实时会话停止</translation>
        </message>
        <message>
            <source>Import a validated Device Profile on the Device page first</source>
            <translation>请先在设备页面导入已验证的设备配置文件</translation>
        </message>
        <message>
            <source>Stop the Replay before starting Live</source>
            <translation>开始实时会话前请先停止回放</translation>
        </message>
        <message>
            <source>Live cannot start in the current state</source>
            <translation>当前状态下无法开始实时会话</translation>
        </message>
        <message>
            <source>Live is not running</source>
            <translation>实时会话未在运行</translation>
        </message>
        <message>
            <source>Stop Live before resetting the defaults</source>
            <translation>恢复默认设置前请先停止实时会话</translation>
        </message>
        <message>
            <source>The band is set while Live is ready or running, or in a Replay</source>
            <translation>频带只能在实时会话就绪或运行时、或回放中设置</translation>
        </message>
        <message>
            <source>This map is shown relative to its peak: the level gate and the fixed dBFS scale do not apply to it</source>
            <translation>此声学图以相对峰值显示：电平门限和固定 dBFS 标尺对其不起作用</translation>
        </message>
        <message>
            <source>Stop the Recording first</source>
            <translation>请先停止录制</translation>
        </message>
        <message>
            <source>Stop the Replay first</source>
            <translation>请先停止回放</translation>
        </message>
        <message>
            <source>No recent Projects yet</source>
            <translation>尚无最近的项目</translation>
        </message>
        <message>
            <source>Start a Replay to move through it</source>
            <translation>请开始回放后再拖动进度</translation>
        </message>
        <message>
            <source>No Replay is playing</source>
            <translation>没有正在播放的回放</translation>
        </message>
        <message>
            <source>No Replay is running</source>
            <translation>没有正在运行的回放</translation>
        </message>
        <message>
            <source>Open or create a Project first</source>
            <translation>请先打开或创建项目</translation>
        </message>
        <message>
            <source>Channels are listed once Live runs</source>
            <translation>实时会话运行后才会列出通道</translation>
        </message>
        <message>
            <source>Wait until the array answers: %1</source>
            <translation>请等待阵列应答：%1</translation>
        </message>
        <message>
            <source>Choose the serial port of the array first</source>
            <translation>请先选择阵列的串口</translation>
        </message>
    </context>
    <context>
        <name>SignalDiagnostics</name>
        <message>
            <source>No data from the array - these views are not live</source>
            <translation>阵列无数据 - 这些视图不是实时的</translation>
        </message>
        <message>
            <source>waiting for data</source>
            <translation>正在等待数据</translation>
        </message>
        <message>
            <source>16ch overlay · %1 ms · wheel zooms the time axis</source>
            <translation>16 通道叠加 · %1 ms · 滚轮缩放时间轴</translation>
        </message>
        <message>
            <source>16 lanes · ch %1-%2 · wheel zooms the time axis</source>
            <translation>16 道 · 通道 %1-%2 · 滚轮缩放时间轴</translation>
        </message>
        <message>
            <source>ch %1 · window %2 s · wheel zooms the time axis</source>
            <translation>通道 %1 · 窗口 %2 s · 滚轮缩放时间轴</translation>
        </message>
        <message>
            <source>Signal monitor</source>
            <translation>信号监视</translation>
        </message>
        <message>
            <source>Live snapshots · same samples as Recorder and DSP</source>
            <translation>实时快照 · 与录制器和 DSP 相同的采样</translation>
        </message>
        <message>
            <source>Channel</source>
            <translation>通道</translation>
        </message>
        <message>
            <source>Gain (0-10)</source>
            <translation>增益（0-10）</translation>
        </message>
        <message>
            <source>no serial link</source>
            <translation>无串口连接</translation>
        </message>
        <message>
            <source>Time waveform</source>
            <translation>时域波形</translation>
        </message>
        <message>
            <source>Single</source>
            <translation>单通道</translation>
        </message>
        <message>
            <source>16 lanes</source>
            <translation>16 道</translation>
        </message>
        <message>
            <source>16 overlay</source>
            <translation>16 叠加</translation>
        </message>
        <message>
            <source>Spectrum (dBFS)</source>
            <translation>频谱（dBFS）</translation>
        </message>
        <message>
            <source>bin %1 Hz · Hann · click to choose imaging center frequency</source>
            <translation>频点 %1 Hz · Hann · 点击选择成像中心频率</translation>
        </message>
        <message>
            <source>Auxiliary view</source>
            <translation>辅助视图</translation>
        </message>
        <message>
            <source>Channel RMS</source>
            <translation>通道 RMS</translation>
        </message>
        <message>
            <source>Waterfall</source>
            <translation>瀑布图</translation>
        </message>
    </context>
    <context>
        <name>CameraPage</name>
        <message>
            <source>Mono</source>
            <translation>黑白</translation>
        </message>
        <message>
            <source>Invert</source>
            <translation>反相</translation>
        </message>
        <message>
            <source>False color · Turbo</source>
            <translation>伪彩色 · Turbo</translation>
        </message>
        <message>
            <source>False color · Viridis</source>
            <translation>伪彩色 · Viridis</translation>
        </message>
        <message>
            <source>False color · Magma</source>
            <translation>伪彩色 · Magma</translation>
        </message>
        <message>
            <source>False color · JET</source>
            <translation>伪彩色 · JET</translation>
        </message>
        <message>
            <source>Edge detect</source>
            <translation>边缘检测</translation>
        </message>
        <message>
            <source>Focus peaking</source>
            <translation>峰值对焦</translation>
        </message>
        <message>
            <source>Zebra</source>
            <translation>斑马纹</translation>
        </message>
        <message>
            <source>Dots</source>
            <translation>点阵</translation>
        </message>
        <message>
            <source>Sharpen</source>
            <translation>锐化</translation>
        </message>
        <message>
            <source>Original</source>
            <translation>原始</translation>
        </message>
        <message>
            <source>50 Hz</source>
            <translation>50 Hz</translation>
        </message>
        <message>
            <source>60 Hz</source>
            <translation>60 Hz</translation>
        </message>
        <message>
            <source>Off</source>
            <translation>关闭</translation>
        </message>
        <message>
            <source>calibrated FOV</source>
            <translation>已标定视场</translation>
        </message>
        <message>
            <source>Auto</source>
            <translation>自动</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>摄像头</translation>
        </message>
        <message>
            <source>· Running</source>
            <translation>· 运行中</translation>
        </message>
        <message>
            <source>· Stopped</source>
            <translation>· 已停止</translation>
        </message>
        <message>
            <source>Open Camera</source>
            <translation>打开摄像头</translation>
        </message>
        <message>
            <source>Stop Camera</source>
            <translation>停止摄像头</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>刷新</translation>
        </message>
        <message>
            <source>UVC device</source>
            <translation>UVC 设备</translation>
        </message>
        <message>
            <source>No Camera detected</source>
            <translation>未检测到摄像头</translation>
        </message>
        <message>
            <source>State</source>
            <translation>状态</translation>
        </message>
        <message>
            <source>Active</source>
            <translation>活动</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>空闲</translation>
        </message>
        <message>
            <source>Mirror</source>
            <translation>镜像</translation>
        </message>
        <message>
            <source>Horizontal</source>
            <translation>水平</translation>
        </message>
        <message>
            <source>Normal</source>
            <translation>正常</translation>
        </message>
        <message>
            <source>Role</source>
            <translation>用途</translation>
        </message>
        <message>
            <source>Camera settings only · overlay is shown in Live</source>
            <translation>仅摄像头设置 · 叠加显示在实时页</translation>
        </message>
        <message>
            <source>Select a UVC camera and press Open Camera</source>
            <translation>选择一个 UVC 摄像头并点击“打开摄像头”</translation>
        </message>
        <message>
            <source>Camera settings only · acoustic overlay is shown in Live</source>
            <translation>仅摄像头设置 · 声学叠加显示在实时页</translation>
        </message>
        <message>
            <source>Camera settings</source>
            <translation>摄像头设置</translation>
        </message>
        <message>
            <source>Live workspace displays acoustic overlay</source>
            <translation>实时工作区显示声学叠加</translation>
        </message>
        <message>
            <source>UVC stream active</source>
            <translation>UVC 视频流活动</translation>
        </message>
        <message>
            <source>UVC stream stopped</source>
            <translation>UVC 视频流已停止</translation>
        </message>
        <message>
            <source>Resolution</source>
            <translation>分辨率</translation>
        </message>
        <message>
            <source>Frame rate</source>
            <translation>帧率</translation>
        </message>
        <message>
            <source>Cropped sensor readout: the camera narrows its FOV at this resolution (calibrated at %1); Live overlay alignment is approximate</source>
            <translation>传感器裁切读出：摄像头在此分辨率下视场变窄（标定于 %1）；实时叠加的对齐只是近似</translation>
        </message>
        <message>
            <source>Processing</source>
            <translation>图像处理</translation>
        </message>
        <message>
            <source>Strength</source>
            <translation>强度</translation>
        </message>
        <message>
            <source>UVC parameters</source>
            <translation>UVC 参数</translation>
        </message>
        <message>
            <source>Reset all</source>
            <translation>全部重置</translation>
        </message>
        <message>
            <source>Open the camera to enumerate its UVC controls; settings persist per device and apply to the Live overlay as well</source>
            <translation>打开摄像头以列出其 UVC 控件；设置按设备保存，也会应用于实时叠加</translation>
        </message>
        <message>
            <source>auto</source>
            <translation>自动</translation>
        </message>
        <message>
            <source>No camera found: connect one and press Refresh</source>
            <translation>未找到摄像头：请连接摄像头后点击“刷新”</translation>
        </message>
        <message>
            <source>The camera is open</source>
            <translation>摄像头已打开</translation>
        </message>
        <message>
            <source>The camera is not open</source>
            <translation>摄像头未打开</translation>
        </message>
        <message>
            <source>The picture format stays as it is while Recording</source>
            <translation>录制期间画面格式保持不变</translation>
        </message>
        <message>
            <source>Open a camera to choose among its resolutions</source>
            <translation>打开摄像头后才能选择其分辨率</translation>
        </message>
        <message>
            <source>Choose a resolution first</source>
            <translation>请先选择分辨率</translation>
        </message>
        <message>
            <source>This camera offers no parameters to reset</source>
            <translation>此摄像头没有可重置的参数</translation>
        </message>
        <message>
            <source>Set by the camera while Auto is on</source>
            <translation>自动模式开启时由摄像头设定</translation>
        </message>
    </context>
    <context>
        <name>DevicePage</name>
        <message>
            <source>%1 ch · %2 m × %3 m</source>
            <translation>%1 通道 · %2 m × %3 m</translation>
        </message>
        <message>
            <source>DEVICE PROFILE</source>
            <translation>设备配置</translation>
        </message>
        <message>
            <source>Browse…</source>
            <translation>浏览…</translation>
        </message>
        <message>
            <source>Import</source>
            <translation>导入</translation>
        </message>
        <message>
            <source>No validated profile loaded</source>
            <translation>未加载已验证的配置</translation>
        </message>
        <message>
            <source>Source</source>
            <translation>信号源</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>仰角</translation>
        </message>
        <message>
            <source>CONTROL LINK (SERIAL)</source>
            <translation>控制链路（串口）</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>刷新</translation>
        </message>
        <message>
            <source>Probe &amp; Select</source>
            <translation>探测并选择</translation>
        </message>
        <message>
            <source>Gain (0-10)</source>
            <translation>增益（0-10）</translation>
        </message>
        <message>
            <source>Hardware ID: %1</source>
            <translation>硬件 ID：%1</translation>
        </message>
        <message>
            <source>not read</source>
            <translation>未读取</translation>
        </message>
        <message>
            <source>Read ID</source>
            <translation>读取 ID</translation>
        </message>
        <message>
            <source>UDP output (V1.4.1+ devices)</source>
            <translation>UDP 输出（V1.4.1 及以上设备）</translation>
        </message>
        <message>
            <source>Enable</source>
            <translation>启用</translation>
        </message>
        <message>
            <source>Disable</source>
            <translation>禁用</translation>
        </message>
        <message>
            <source>FLASH SECTORS</source>
            <translation>闪存扇区</translation>
        </message>
        <message>
            <source>Network parameters (sector 256)</source>
            <translation>网络参数（扇区 256）</translation>
        </message>
        <message>
            <source>Read</source>
            <translation>读取</translation>
        </message>
        <message>
            <source>Write...</source>
            <translation>写入...</translation>
        </message>
        <message>
            <source>One-click network setup</source>
            <translation>一键网络设置</translation>
        </message>
        <message>
            <source>Select the network adapter the array is plugged into; the app picks a conflict-free address, writes it and reboots the array.</source>
            <translation>请选择阵列所连接的网络适配器；程序会选取一个不冲突的地址，写入后重启阵列。</translation>
        </message>
        <message>
            <source>Auto Configure...</source>
            <translation>自动配置...</translation>
        </message>
        <message>
            <source>FIR coefficients (sector 768)</source>
            <translation>FIR 系数（扇区 768）</translation>
        </message>
        <message>
            <source>Write Preset...</source>
            <translation>写入预设...</translation>
        </message>
        <message>
            <source>ARRAY LAYOUT (TOP VIEW)</source>
            <translation>阵列布局（俯视）</translation>
        </message>
        <message>
            <source>Import a Device Profile to preview the array layout</source>
            <translation>导入设备配置以预览阵列布局</translation>
        </message>
        <message>
            <source>LOG</source>
            <translation>日志</translation>
        </message>
        <message>
            <source>Clear</source>
            <translation>清除</translation>
        </message>
        <message>
            <source>Import Device Profile</source>
            <translation>导入设备配置</translation>
        </message>
        <message>
            <source>Auto network setup</source>
            <translation>自动网络设置</translation>
        </message>
        <message>
            <source>The app reads the array's current parameters, assigns a conflict-free address on the selected adapter's network, writes it and reboots the array (.reset).

Adapter: %1

Continue?</source>
            <translation>程序会读取阵列的当前参数，在所选适配器的网络中分配一个不冲突的地址，写入后重启阵列（.reset）。

适配器：%1

是否继续？</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
        <message>
            <source>Write</source>
            <translation>写入</translation>
        </message>
        <message>
            <source>Reboot device?</source>
            <translation>重启设备？</translation>
        </message>
        <message>
            <source>Network parameters were written and verified. They take effect only after the device reboots. Reboot the device now? The UDP stream will drop until the device is back.</source>
            <translation>网络参数已写入并校验。参数仅在设备重启后生效。现在重启设备吗？在设备恢复前 UDP 数据流会中断。</translation>
        </message>
        <message>
            <source>Later</source>
            <translation>稍后</translation>
        </message>
        <message>
            <source>Reboot now</source>
            <translation>立即重启</translation>
        </message>
        <message>
            <source>Write FIR preset</source>
            <translation>写入 FIR 预设</translation>
        </message>
        <message>
            <source>Write preset "%1" from the active device profile to sector 768? The sector is erased, written and read back for verification.</source>
            <translation>将当前设备配置中的预设“%1”写入扇区 768？该扇区会被擦除、写入并回读校验。</translation>
        </message>
        <message>
            <source>Type a Device Profile's path or browse for one</source>
            <translation>请输入设备配置文件的路径，或浏览选择一个</translation>
        </message>
        <message>
            <source>Choose the network adapter the array is plugged into</source>
            <translation>请选择阵列所连接的网络适配器</translation>
        </message>
        <message>
            <source>The Device Profile holds no FIR preset to write</source>
            <translation>设备配置文件中没有可写入的 FIR 预设</translation>
        </message>
    </context>
    <context>
        <name>NetWriteDialog</name>
        <message>
            <source>Write network parameters (sector 256)</source>
            <translation>写入网络参数（扇区 256）</translation>
        </message>
        <message>
            <source>Wrong parameters can make the device unreachable; they are verified by read-back before reporting success. They take effect after the device reboots - you will be offered to reboot the device when the write completes.</source>
            <translation>错误的参数可能导致设备无法访问；报告成功前会通过回读进行校验。参数在设备重启后生效——写入完成后会提示您重启设备。</translation>
        </message>
        <message>
            <source>Board MAC</source>
            <translation>板卡 MAC</translation>
        </message>
        <message>
            <source>Board IP</source>
            <translation>板卡 IP</translation>
        </message>
        <message>
            <source>Target MAC</source>
            <translation>目标 MAC</translation>
        </message>
        <message>
            <source>Target IP</source>
            <translation>目标 IP</translation>
        </message>
        <message>
            <source>Source port</source>
            <translation>源端口</translation>
        </message>
        <message>
            <source>Target port</source>
            <translation>目标端口</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
        <message>
            <source>Write</source>
            <translation>写入</translation>
        </message>
    </context>
    <context>
        <name>DiagnosticsPage</name>
        <message>
            <source>Diagnostics</source>
            <translation>诊断</translation>
        </message>
        <message>
            <source>Export diagnostics bundle</source>
            <translation>导出诊断包</translation>
        </message>
        <message>
            <source>Open folder</source>
            <translation>打开文件夹</translation>
        </message>
        <message>
            <source>Event log</source>
            <translation>事件日志</translation>
        </message>
    </context>
    <context>
        <name>SettingsPage</name>
        <message>
            <source>Settings</source>
            <translation>设置</translation>
        </message>
        <message>
            <source>Backup &amp; restore</source>
            <translation>备份与恢复</translation>
        </message>
        <message>
            <source>Reset defaults</source>
            <translation>恢复默认值</translation>
        </message>
        <message>
            <source>Back up now</source>
            <translation>立即备份</translation>
        </message>
        <message>
            <source>Reset restores display and DSP defaults (stop the session first); backup writes the current settings to the Documents folder.</source>
            <translation>重置会恢复显示和 DSP 的默认值（请先停止会话）；备份会把当前设置写入“文档”文件夹。</translation>
        </message>
        <message>
            <source>Recording</source>
            <translation>录制</translation>
        </message>
        <message>
            <source>Max duration</source>
            <translation>最长时长</translation>
        </message>
        <message>
            <source>s</source>
            <translation>秒</translation>
        </message>
        <message>
            <source>A recording stops and saves automatically once it reaches this limit (1-120 s).</source>
            <translation>录制达到此上限（1-120 秒）时会自动停止并保存。</translation>
        </message>
        <message>
            <source>About</source>
            <translation>关于</translation>
        </message>
        <message>
            <source>Profile: </source>
            <translation>配置：</translation>
        </message>
        <message>
            <source>none</source>
            <translation>无</translation>
        </message>
    </context>
    <context>
        <name>SpectrumPage</name>
        <message>
            <source>Spectrum</source>
            <translation>频谱</translation>
        </message>
    </context>
    <context>
        <name>AnalysisPage</name>
        <message>
            <source>Auto (3τ)</source>
            <translation>自动 (3τ)</translation>
        </message>
        <message>
            <source>Measurement input</source>
            <translation>测量输入</translation>
        </message>
        <message>
            <source>Select one in Measurements</source>
            <translation>请在“测量”中选择一项</translation>
        </message>
        <message>
            <source>Analysis always starts from an immutable Measurement.</source>
            <translation>分析始终从不可更改的测量开始。</translation>
        </message>
        <message>
            <source>Frozen: %1</source>
            <translation>冻结：%1</translation>
        </message>
        <message>
            <source>ANALYSIS RUNS</source>
            <translation>分析运行</translation>
        </message>
        <message>
            <source>No AnalysisRun yet
Create the first full recompute</source>
            <translation>尚无分析运行
请创建第一次完整重算</translation>
        </message>
        <message>
            <source>Select a Measurement first</source>
            <translation>请先选择一个测量</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>无效</translation>
        </message>
        <message>
            <source>%1 · %2 bins · frame %3/%4 · grid %5°</source>
            <translation>%1 · %2 个频点 · 帧 %3/%4 · 网格 %5°</translation>
        </message>
        <message>
            <source>map saved</source>
            <translation>声学图已保存</translation>
        </message>
        <message>
            <source>metadata only</source>
            <translation>仅元数据</translation>
        </message>
        <message>
            <source>%1 recompute</source>
            <translation>%1 重算</translation>
        </message>
        <message>
            <source>legacy run</source>
            <translation>旧版运行</translation>
        </message>
        <message>
            <source>Analysis result</source>
            <translation>分析结果</translation>
        </message>
        <message>
            <source>Unsaved result - save to keep it</source>
            <translation>未保存的结果 - 保存后才会保留</translation>
        </message>
        <message>
            <source>Each run keeps its own map and provenance</source>
            <translation>每次运行都保留自己的声学图和来源信息</translation>
        </message>
        <message>
            <source>Create or select an AnalysisRun</source>
            <translation>创建或选择一个分析运行</translation>
        </message>
        <message>
            <source>Select a Measurement</source>
            <translation>选择一个测量</translation>
        </message>
        <message>
            <source>Full recompute uses the Measurement's frozen Profile</source>
            <translation>完整重算使用测量冻结的设备配置</translation>
        </message>
        <message>
            <source>Spectrum - analysis window</source>
            <translation>频谱 - 分析窗口</translation>
        </message>
        <message>
            <source>Averaged over the whole Measurement - click the spectrum to set the centre frequency</source>
            <translation>对整个测量取平均 - 点击频谱以设置中心频率</translation>
        </message>
        <message>
            <source>Full Recompute</source>
            <translation>完整重算</translation>
        </message>
        <message>
            <source>Full recompute from raw measurement data</source>
            <translation>从原始测量数据完整重算</translation>
        </message>
        <message>
            <source>ALGORITHM</source>
            <translation>算法</translation>
        </message>
        <message>
            <source>BAND</source>
            <translation>频带</translation>
        </message>
        <message>
            <source>BANDWIDTH HZ</source>
            <translation>带宽 HZ</translation>
        </message>
        <message>
            <source>CENTER (HZ)</source>
            <translation>中心 (HZ)</translation>
        </message>
        <message>
            <source>Window</source>
            <translation>窗口</translation>
        </message>
        <message>
            <source>Whole measurement</source>
            <translation>整个测量</translation>
        </message>
        <message>
            <source>Advanced parameters</source>
            <translation>高级参数</translation>
        </message>
        <message>
            <source>Computing…</source>
            <translation>正在计算…</translation>
        </message>
        <message>
            <source>Create AnalysisRun</source>
            <translation>创建分析运行</translation>
        </message>
        <message>
            <source>FRAME</source>
            <translation>帧长</translation>
        </message>
        <message>
            <source>HOP</source>
            <translation>步长</translation>
        </message>
        <message>
            <source>GRID STEP</source>
            <translation>网格步长</translation>
        </message>
        <message>
            <source>FOCUS</source>
            <translation>聚焦</translation>
        </message>
        <message>
            <source>Air temp %1 °C · %2 m/s</source>
            <translation>气温 %1 °C · %2 m/s</translation>
        </message>
        <message>
            <source>Confidence %1 dB</source>
            <translation>置信度 %1 dB</translation>
        </message>
        <message>
            <source>Range %1 dB</source>
            <translation>范围 %1 dB</translation>
        </message>
        <message>
            <source>Level gate %1 dBFS</source>
            <translation>电平门限 %1 dBFS</translation>
        </message>
        <message>
            <source>Colormap</source>
            <translation>色图</translation>
        </message>
        <message>
            <source>Style</source>
            <translation>样式</translation>
        </message>
        <message>
            <source>Scale</source>
            <translation>刻度</translation>
        </message>
        <message>
            <source>Alpha %1%</source>
            <translation>透明度 %1%</translation>
        </message>
        <message>
            <source>Contour</source>
            <translation>等值线</translation>
        </message>
        <message>
            <source>Contour + fill</source>
            <translation>等值线 + 填充</translation>
        </message>
        <message>
            <source>Peak cross</source>
            <translation>峰值十字</translation>
        </message>
        <message>
            <source>Fill</source>
            <translation>填充</translation>
        </message>
        <message>
            <source>Fixed dBFS</source>
            <translation>固定 dBFS</translation>
        </message>
        <message>
            <source>Auto peak</source>
            <translation>自动峰值</translation>
        </message>
        <message>
            <source>Unsaved analysis result</source>
            <translation>未保存的分析结果</translation>
        </message>
        <message>
            <source>Computed results are only kept in memory until you save them. Saving writes an immutable AnalysisRun to the Measurement.</source>
            <translation>计算结果在保存前只保留在内存中。保存会将一个不可更改的分析运行写入测量。</translation>
        </message>
        <message>
            <source>Save analysis result</source>
            <translation>保存分析结果</translation>
        </message>
        <message>
            <source>Discard</source>
            <translation>丢弃</translation>
        </message>
        <message>
            <source>params  %1</source>
            <translation>参数  %1</translation>
        </message>
        <message>
            <source>Immutable run · Measurement RAW was hash-checked before and after recompute</source>
            <translation>不可更改的运行 · 重算前后均已校验测量原始数据的哈希</translation>
        </message>
        <message>
            <source>Export CSV + profile manifest</source>
            <translation>导出 CSV + 配置清单</translation>
        </message>
        <message>
            <source>the unsaved result</source>
            <translation>未保存的结果</translation>
        </message>
        <message>
            <source>Live holds the map: %1 shows as soon as Live stops</source>
            <translation>实时会话正在占用声学图：实时停止后立即显示 %1</translation>
        </message>
        <message>
            <source>The Replay holds the map: %1 shows as soon as it stops</source>
            <translation>回放正在占用声学图：回放停止后立即显示 %1</translation>
        </message>
        <message>
            <source>%1 has no saved map</source>
            <translation>%1 没有保存的声学图</translation>
        </message>
        <message>
            <source>full recompute</source>
            <translation>完整重算</translation>
        </message>
        <message>
            <source>Single</source>
            <translation>单频点</translation>
        </message>
        <message>
            <source>Custom</source>
            <translation>自定义</translation>
        </message>
        <message>
            <source>1/3 octave</source>
            <translation>1/3 倍频程</translation>
        </message>
        <message>
            <source>far field</source>
            <translation>远场</translation>
        </message>
        <message>
            <source>fast recompute</source>
            <translation>快速重算</translation>
        </message>
        <message>
            <source>%1 dBFS</source>
            <translation>%1 dBFS</translation>
        </message>
        <message>
            <source>%1 dB re peak</source>
            <translation>%1 dB（相对峰值）</translation>
        </message>
        <message>
            <source>%1 dB</source>
            <translation>%1 dB</translation>
        </message>
        <message>
            <source>peak %1° / %2° · %3 · %4 · %5</source>
            <translation>峰值 %1° / %2° · %3 · %4 · %5</translation>
        </message>
    </context>
    <context>
        <name>zk::device::DeviceController</name>
        <message>
            <source>%1 failed: %2</source>
            <translation>%1 失败：%2</translation>
        </message>
        <message>
            <source>serial worker call refused</source>
            <translation>串口工作线程拒绝了调用</translation>
        </message>
        <message>
            <source>unexpected error</source>
            <translation>意外错误</translation>
        </message>
        <message>
            <source>probe: no serial ports found</source>
            <translation>探测：未找到串口</translation>
        </message>
        <message>
            <source>probe</source>
            <translation>探测</translation>
        </message>
        <message numerus="yes">
            <source>probing %n port...</source>
            <translation>
                <numerusform>正在探测 %n 个端口……</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>probing %n ports...</source>
            <translation>
                <numerusform>正在探测 %n 个端口……</numerusform>
            </translation>
        </message>
        <message>
            <source>read(0): no serial port selected</source>
            <translation>read(0)：未选择串口</translation>
        </message>
        <message>
            <source>read(0)</source>
            <translation>读取(0)</translation>
        </message>
        <message>
            <source>read(256): no serial port selected</source>
            <translation>read(256)：未选择串口</translation>
        </message>
        <message>
            <source>read(256)</source>
            <translation>读取(256)</translation>
        </message>
        <message>
            <source>read(768): no serial port selected</source>
            <translation>read(768)：未选择串口</translation>
        </message>
        <message>
            <source>read(768)</source>
            <translation>读取(768)</translation>
        </message>
        <message>
            <source>reset rejected: no serial port selected</source>
            <translation>重启被拒绝：未选择串口</translation>
        </message>
        <message>
            <source>reset</source>
            <translation>重启</translation>
        </message>
        <message>
            <source>Reboot command sent - device rebooting, network parameters take effect</source>
            <translation>已发送重启命令 - 设备正在重启，网络参数将生效</translation>
        </message>
        <message>
            <source>act rejected: no serial port selected</source>
            <translation>输出开关被拒绝：未选择串口</translation>
        </message>
        <message>
            <source>act %1</source>
            <translation>输出开关 %1</translation>
        </message>
        <message>
            <source>gain %1 stored; no serial port selected</source>
            <translation>增益 %1 已保存；未选择串口</translation>
        </message>
        <message>
            <source>gain %1</source>
            <translation>增益 %1</translation>
        </message>
        <message>
            <source>probe: no device answered</source>
            <translation>探测：没有设备应答</translation>
        </message>
        <message>
            <source>probe: device answered on %1 (%2)</source>
            <translation>探测：设备在 %1 上应答（%2）</translation>
        </message>
        <message>
            <source>gain level %1 applied</source>
            <translation>已应用增益等级 %1</translation>
        </message>
        <message>
            <source>reset: done (device is rebooting)</source>
            <translation>重启：已完成（设备正在重启）</translation>
        </message>
        <message>
            <source>UDP output %1 (SET_ACT)</source>
            <translation>UDP 输出%1（SET_ACT）</translation>
        </message>
        <message>
            <source>enabled</source>
            <translation>已启用</translation>
        </message>
        <message>
            <source>disabled</source>
            <translation>已禁用</translation>
        </message>
        <message>
            <source>auto-net: aborted</source>
            <translation>自动网络配置：已中止</translation>
        </message>
        <message>
            <source>write(%1) %2: %3</source>
            <translation>写入(%1) %2：%3</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>成功</translation>
        </message>
        <message>
            <source>FAILED</source>
            <translation>失败</translation>
        </message>
        <message>
            <source>auto-net: aborted (write failed)</source>
            <translation>自动网络配置：已中止（写入失败）</translation>
        </message>
        <message>
            <source>auto-net rejected: another device action is running</source>
            <translation>自动网络配置被拒绝：另一个设备操作正在进行</translation>
        </message>
        <message>
            <source>auto-net rejected: no serial port selected</source>
            <translation>自动网络配置被拒绝：未选择串口</translation>
        </message>
        <message>
            <source>auto-net rejected: no usable network adapter - connect the array's cable first</source>
            <translation>自动网络配置被拒绝：没有可用的网络适配器 - 请先连接阵列的网线</translation>
        </message>
        <message>
            <source>auto-net rejected: adapter %1 has no usable IPv4 subnet</source>
            <translation>自动网络配置被拒绝：适配器 %1 没有可用的 IPv4 子网</translation>
        </message>
        <message>
            <source>auto-net</source>
            <translation>自动网络配置</translation>
        </message>
        <message>
            <source>auto-net: adapter %1, target %2 @ %3 - reading current device parameters</source>
            <translation>自动网络配置：适配器 %1，目标 %2 @ %3 - 正在读取设备当前参数</translation>
        </message>
        <message>
            <source>auto-net: keeping device board MAC %1 and ports %2/%3</source>
            <translation>自动网络配置：保留设备板卡 MAC %1 和端口 %2/%3</translation>
        </message>
        <message>
            <source>auto-net: device target port %1 replaced by %2, the live stream's port</source>
            <translation>自动网络配置：设备目标端口 %1 已替换为实时数据流端口 %2</translation>
        </message>
        <message>
            <source>auto-net: every candidate address is occupied - aborted</source>
            <translation>自动网络配置：所有候选地址均被占用 - 已中止</translation>
        </message>
        <message>
            <source>auto-net: probe</source>
            <translation>自动网络配置：探测</translation>
        </message>
        <message>
            <source>auto-net: probing %1 for conflicts...</source>
            <translation>自动网络配置：正在检测 %1 是否冲突……</translation>
        </message>
        <message>
            <source>auto-net: aborted - ping of %1 failed: %2</source>
            <translation>自动网络配置：已中止 - ping %1 失败：%2</translation>
        </message>
        <message>
            <source>auto-net: aborted - neighbour table unreadable: %1</source>
            <translation>自动网络配置：已中止 - 无法读取邻居表：%1</translation>
        </message>
        <message>
            <source>auto-net: %1 is occupied (%2), trying next</source>
            <translation>自动网络配置：%1 已被占用（%2），尝试下一个</translation>
        </message>
        <message>
            <source>ping reply</source>
            <translation>ping 有应答</translation>
        </message>
        <message>
            <source>ARP entry</source>
            <translation>存在 ARP 条目</translation>
        </message>
        <message>
            <source>auto-net: %1 appears free (no ping reply, no ARP entry)</source>
            <translation>自动网络配置：%1 似乎空闲（无 ping 应答，无 ARP 条目）</translation>
        </message>
        <message>
            <source>auto-net: write(256)</source>
            <translation>自动网络配置：写入(256)</translation>
        </message>
        <message>
            <source>auto-net: writing device @ %1 -&gt; target %2:%3</source>
            <translation>自动网络配置：正在写入设备 @ %1 -&gt; 目标 %2:%3</translation>
        </message>
        <message>
            <source>auto-net: write verified - rebooting device (.reset)</source>
            <translation>自动网络配置：写入已校验 - 正在重启设备（.reset）</translation>
        </message>
        <message>
            <source>auto-net: reset</source>
            <translation>自动网络配置：重启</translation>
        </message>
        <message>
            <source>auto-net: complete - device %1 @ %2 -&gt; target %3 @ %4:%5 (device is rebooting, parameters take effect now)</source>
            <translation>自动网络配置：完成 - 设备 %1 @ %2 -&gt; 目标 %3 @ %4:%5（设备正在重启，参数现已生效）</translation>
        </message>
        <message>
            <source>read(0): hardware id %1</source>
            <translation>read(0)：硬件 ID %1</translation>
        </message>
        <message>
            <source>sector blank (0xFF) - firmware defaults in effect</source>
            <translation>扇区为空（0xFF）- 使用固件默认值</translation>
        </message>
        <message>
            <source>device %1 @ %2  -&gt;  target %3 @ %4:%5  (src port %6)</source>
            <translation>设备 %1 @ %2  -&gt;  目标 %3 @ %4:%5  （源端口 %6）</translation>
        </message>
        <message>
            <source>unparsable sector content</source>
            <translation>扇区内容无法解析</translation>
        </message>
        <message>
            <source>read(256): %1</source>
            <translation>read(256)：%1</translation>
        </message>
        <message>
            <source>sector blank (0xFF)</source>
            <translation>扇区为空（0xFF）</translation>
        </message>
        <message>
            <source>%1 taps read</source>
            <translation>已读取 %1 个抽头</translation>
        </message>
        <message>
            <source>%1 taps - matches preset "%2"</source>
            <translation>%1 个抽头 - 与预设“%2”一致</translation>
        </message>
        <message>
            <source> - no preset in the active profile matches</source>
            <translation> - 当前配置中没有匹配的预设</translation>
        </message>
        <message>
            <source>read(768): %1</source>
            <translation>read(768)：%1</translation>
        </message>
        <message>
            <source>write(256) rejected: no serial port selected</source>
            <translation>write(256) 被拒绝：未选择串口</translation>
        </message>
        <message numerus="yes">
            <source>write(256) rejected: %n invalid field</source>
            <translation>
                <numerusform>write(256) 被拒绝：%n 个字段无效</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>write(256) rejected: %n invalid fields</source>
            <translation>
                <numerusform>write(256) 被拒绝：%n 个字段无效</numerusform>
            </translation>
        </message>
        <message>
            <source>write(256)</source>
            <translation>写入(256)</translation>
        </message>
        <message>
            <source>write(256): device %1 @ %2 -&gt; target %3 @ %4:%5 (power cycle required after write)</source>
            <translation>write(256)：设备 %1 @ %2 -&gt; 目标 %3 @ %4:%5（写入后需要重新上电）</translation>
        </message>
        <message>
            <source>write(768) rejected: no serial port selected</source>
            <translation>write(768) 被拒绝：未选择串口</translation>
        </message>
        <message>
            <source>write(768) rejected: active profile has no FIR section</source>
            <translation>write(768) 被拒绝：当前配置没有 FIR 部分</translation>
        </message>
        <message>
            <source>write(768) rejected: unknown preset %1</source>
            <translation>write(768) 被拒绝：未知预设 %1</translation>
        </message>
        <message>
            <source>write(768) rejected: %1</source>
            <translation>write(768) 被拒绝：%1</translation>
        </message>
        <message>
            <source>write(768) rejected: preset "%1" has no coefficients</source>
            <translation>write(768) 被拒绝：预设“%1”没有系数</translation>
        </message>
        <message>
            <source>write(768) rejected: preset "%1" has %2 taps, one sector holds at most %3</source>
            <translation>write(768) 被拒绝：预设“%1”有 %2 个抽头，一个扇区最多容纳 %3 个</translation>
        </message>
        <message>
            <source>write(768)</source>
            <translation>写入(768)</translation>
        </message>
        <message>
            <source>write(768): preset "%1" (%2 taps, %3 bytes)</source>
            <translation>write(768)：预设“%1”（%2 个抽头，%3 字节）</translation>
        </message>
    </context>
    <context>
        <name>zk::device::NetworkProbe</name>
        <message>
            <source>ping killed</source>
            <translation>ping 已被终止</translation>
        </message>
        <message>
            <source>ping crashed</source>
            <translation>ping 崩溃</translation>
        </message>
        <message>
            <source>ping exit code %1</source>
            <translation>ping 退出码 %1</translation>
        </message>
        <message>
            <source>ping exit code %1: %2</source>
            <translation>ping 退出码 %1：%2</translation>
        </message>
        <message>
            <source>ping could not be started: %1</source>
            <translation>无法启动 ping：%1</translation>
        </message>
        <message>
            <source>neighbour table unavailable: %1</source>
            <translation>邻居表不可用：%1</translation>
        </message>
    </context>
    <context>
        <name>zk::device::SerialWorker</name>
        <message>
            <source>serial port hung up</source>
            <translation>串口已断开</translation>
        </message>
        <message>
            <source>cancelled: the serial thread is stopping</source>
            <translation>已取消：串口线程正在停止</translation>
        </message>
        <message>
            <source>write timeout</source>
            <translation>写入超时</translation>
        </message>
        <message>
            <source>response timeout</source>
            <translation>应答超时</translation>
        </message>
        <message>
            <source>erase: %1</source>
            <translation>擦除：%1</translation>
        </message>
        <message>
            <source>erase verify: sector not blank (write aborted)</source>
            <translation>擦除校验：扇区不为空（已中止写入）</translation>
        </message>
        <message>
            <source>write: %1</source>
            <translation>写入：%1</translation>
        </message>
        <message>
            <source>readback timeout</source>
            <translation>回读超时</translation>
        </message>
        <message>
            <source>readback mismatch</source>
            <translation>回读不一致</translation>
        </message>
        <message>
            <source>readback timeout (%1 bytes)</source>
            <translation>回读超时（%1 字节）</translation>
        </message>
        <message>
            <source>failed to open serial port: %1</source>
            <translation>无法打开串口：%1</translation>
        </message>
        <message>
            <source>read timeout</source>
            <translation>读取超时</translation>
        </message>
        <message>
            <source>refused: empty sector payload</source>
            <translation>已拒绝：扇区数据为空</translation>
        </message>
        <message>
            <source>refused: %1 bytes exceed the %2-byte sector</source>
            <translation>已拒绝：%1 字节超出 %2 字节的扇区</translation>
        </message>
        <message>
            <source>unexpected error</source>
            <translation>意外错误</translation>
        </message>
        <message>
            <source>no device answered</source>
            <translation>没有设备应答</translation>
        </message>
        <message>
            <source>read(%1)</source>
            <translation>读取(%1)</translation>
        </message>
        <message>
            <source>readback verified</source>
            <translation>回读已校验</translation>
        </message>
        <message>
            <source>gain</source>
            <translation>增益</translation>
        </message>
        <message>
            <source>reset</source>
            <translation>重启</translation>
        </message>
        <message>
            <source>SET_ACT requires a ZK-UART v2 device</source>
            <translation>SET_ACT 需要 ZK-UART v2 设备</translation>
        </message>
        <message>
            <source>act</source>
            <translation>输出开关</translation>
        </message>
    </context>
    <context>
        <name>RecentProjectsDialog</name>
        <message>
            <source>Recent Projects</source>
            <translation>最近的项目</translation>
        </message>
        <message>
            <source>No recent projects yet</source>
            <translation>暂无最近的项目</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>打开</translation>
        </message>
        <message>
            <source>Remove from Recent Projects (the folder stays on disk)</source>
            <translation>从最近项目中移除（文件夹保留在磁盘上）</translation>
        </message>
    </context>
    <context>
        <name>RunWindowLabel</name>
        <message>
            <source>%1–%2 s</source>
            <translation>%1–%2 秒</translation>
        </message>
    </context>
</TS>
