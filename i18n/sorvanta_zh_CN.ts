<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
        <translation>午夜青</translation>
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
</TS>
