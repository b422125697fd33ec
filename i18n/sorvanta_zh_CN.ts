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
            <source>%1 measurements</source>
            <translation>%1 个测量</translation>
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
            <source>%1 ch · %2 Hz · %3 analyses</source>
            <translation>%1 通道 · %2 Hz · %3 个分析</translation>
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
</TS>
