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
