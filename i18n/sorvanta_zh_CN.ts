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
            <source>Recent Projects</source>
            <translation>最近的项目</translation>
        </message>
        <message>
            <source>No recent projects yet</source>
            <translation>暂无最近的项目</translation>
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
        <message>
            <source>Remove from Recent Projects (the folder stays on disk)</source>
            <translation>从最近项目中移除（文件夹保留在磁盘上）</translation>
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
        <message>
            <source>project.json could not be read (%1): kept as %2, the Measurement list was rebuilt from %3 Measurement folder(s)</source>
            <translation>无法读取 project.json（%1）：已保留为 %2，已根据 %3 个测量文件夹重建测量列表</translation>
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
            <source>Project opened: %1 · %2 Measurement(s)</source>
            <translation>项目已打开：%1 · %2 个测量</translation>
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
            <translation>Lambda（相对）</translation>
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
            <source>Stop Live before starting Measurement Replay</source>
            <translation>开始测量回放前请先停止实时会话</translation>
        </message>
        <message>
            <source>Select a Measurement, then Start Replay</source>
            <translation>请先选择测量，然后开始回放</translation>
        </message>
        <message>
            <source>A Replay is running: stop it first</source>
            <translation>回放正在运行：请先停止</translation>
        </message>
        <message>
            <source>The raw recording of this Measurement is missing</source>
            <translation>此测量的原始录音缺失</translation>
        </message>
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
            <source>Start Replay — recording integrity is verified before playback</source>
            <translation>开始回放 — 播放前会校验录音完整性</translation>
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
            <source>peak %1° / %2° · %3 dB · %4 · %5</source>
            <translation>峰值 %1° / %2° · %3 dB · %4 · %5</translation>
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
    </context>
</TS>
